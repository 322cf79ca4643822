#include "tools/quote_server/page_writer.h"

#include <gtest/gtest.h>

#include "tools/quote_server/euc_jp.h"
#include "tools/quote_server/test_support.h"

namespace pelmo::quote_server {
namespace {

using testing::CutTable;
using testing::SplitShares;
using testing::TableTexts;

Day D(int y, int m, int d) {
  return *MakeDay(y, m, d);
}

const Day kToday = D(2026, 12, 7);

std::string PricePage(const char* code, Period period, Day first, Day last) {
  return RenderPage({PageKind::Price, code, first, last, period}, kToday);
}

const std::vector<std::string> kPriceHeader = {"日付", "始値",   "高値",       "安値",
                                               "終値", "出来高", "調整後終値*"};

TEST(PageWriter, DailyPageHoldsTheWindowNewestFirstWithTheSplitAtItsDate) {
  // 7203 splits 1 share to 2 on 27 March 1996.
  const std::string page = PricePage("7203.t", Period::Daily, D(1996, 3, 1), D(1996, 4, 10));
  const auto rows = TableTexts(page);
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0], kPriceHeader);
  std::vector<std::string> dates;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].size() == 2) {
      EXPECT_EQ(rows[i][0], "1996年3月27日");
      EXPECT_EQ(rows[i][1], "分割: 1株 -> 2株");
      EXPECT_EQ(SplitShares(rows[i][1]), std::make_pair(1.0, 2.0));
      // Below the first row on the new share count, above the last on the old one.
      EXPECT_EQ(rows[i - 1][0], "1996年3月27日");
      ASSERT_LT(i + 1, rows.size());
      EXPECT_EQ(rows[i + 1][0], "1996年3月26日");
    } else {
      ASSERT_EQ(rows[i].size(), 7u) << i;
      dates.push_back(rows[i][0]);
    }
  }
  EXPECT_EQ(dates.size(), 29u);  // trading days from 1 March to 10 April 1996
  EXPECT_EQ(dates.front(), "1996年4月10日");
  EXPECT_EQ(dates.back(), "1996年3月1日");
  EXPECT_EQ(rows.size(), dates.size() + 2);
}

TEST(PageWriter, RowCellsAsServed) {
  const std::string page = PricePage("7203.t", Period::Daily, D(2007, 3, 30), D(2007, 3, 30));
  EXPECT_NE(page.find("<tr align=right bgcolor=\"#ffffff\">\n"
                      "<td><small>2007年3月30日</small></td>\n"
                      "<td><small>699</small></td>\n"
                      "<td><small>702</small></td>\n"
                      "<td><small>684</small></td>\n"
                      "<td><small><b>688</b></small></td>\n"
                      "<td><small>125,000</small></td>\n"
                      "<td><small>688</small></td>\n"
                      "</tr>\n"),
            std::string::npos)
      << page;
  const std::string split = PricePage("7203.t", Period::Daily, D(2004, 1, 26), D(2004, 1, 26));
  EXPECT_NE(split.find("<tr bgcolor=\"#ffffff\">\n<td>2004年1月26日</td>\n"
                       "<td colspan=6 align=center>分割: 1株 -> 1.5株</td>\n</tr>\n"),
            std::string::npos)
      << split;
}

TEST(PageWriter, LongWindowKeepsTheNewestFiftyRows) {
  const std::string page = PricePage("1301.t", Period::Daily, D(2006, 1, 1), D(2007, 3, 31));
  const auto rows = TableTexts(page);
  ASSERT_EQ(rows.size(), 51u);
  EXPECT_EQ(rows[1][0], "2007年3月30日");
  // Splits older than the rows shown are left out: 7203 over 1990 to today, monthly.
  const auto monthly = TableTexts(PricePage("7203.t", Period::Monthly, D(1990, 1, 1), kToday));
  ASSERT_EQ(monthly.size(), 51u);
  EXPECT_EQ(monthly[1][0], "2026年12月");
}

TEST(PageWriter, MonthlyAndWeeklyRows) {
  const auto monthly =
      TableTexts(PricePage("9984.t", Period::Monthly, D(2006, 11, 1), D(2007, 1, 31)));
  ASSERT_EQ(monthly.size(), 4u);
  EXPECT_EQ(monthly[1][0], "2007年1月");
  EXPECT_EQ(monthly[3][0], "2006年11月");
  const auto weekly =
      TableTexts(PricePage("9984.t", Period::Weekly, D(2007, 1, 1), D(2007, 1, 14)));
  ASSERT_EQ(weekly.size(), 3u);
  EXPECT_EQ(weekly[1][0], "2007年1月8日");
  EXPECT_EQ(weekly[2][0], "2007年1月4日");
  EXPECT_EQ(weekly[2].size(), 7u);
}

TEST(PageWriter, MarginPage) {
  const std::string page = RenderPage(
      {PageKind::Margin, "7203.t", D(2006, 12, 18), D(2007, 1, 14), Period::Weekly}, kToday);
  const auto rows = TableTexts(page);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0],
            (std::vector<std::string>{"日付", "売残", "前週比", "買残", "前週比", "貸借倍率"}));
  EXPECT_EQ(rows[1][0], "2007年1月12日");
  for (std::size_t i = 1; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 6u);
    const std::string& ratio = rows[i][5];
    ASSERT_GE(ratio.size(), 4u);
    EXPECT_EQ(ratio[ratio.size() - 3], '.') << ratio;
  }
}

// A page without rows must give a client nothing to read: the second table after the
// marker is then a footer table of one row, which a client drops as a header.
TEST(PageWriter, PagesWithoutRowsYieldNoRows) {
  struct Case {
    const char* name;
    std::string page;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"reversed window", PricePage("7203.t", Period::Daily, D(2007, 3, 31), D(2007, 1, 5)),
       kNoRowsMessage},
      {"before the history", PricePage("7203.t", Period::Weekly, D(1980, 1, 1), D(1989, 12, 31)),
       kNoRowsMessage},
      {"weekend", PricePage("7203.t", Period::Daily, D(2007, 1, 6), D(2007, 1, 7)), kNoRowsMessage},
      {"code without data", PricePage("0123.t", Period::Daily, D(2007, 1, 5), D(2007, 3, 31)),
       kNoCodeMessage},
      {"margin, code without data",
       RenderPage({PageKind::Margin, "0123", D(2007, 1, 1), D(2007, 3, 31), Period::Weekly},
                  kToday),
       kNoCodeMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(c.page.find(c.message), std::string::npos);
    EXPECT_EQ(c.page.find("bgcolor=\"#999999\""), std::string::npos);
    EXPECT_LE(TableTexts(c.page).size(), 1u);
    EXPECT_TRUE(ToEucJp(c.page).has_value());
  }
}

TEST(PageWriter, DocumentFrame) {
  const std::string page = PricePage("7203.t", Period::Daily, D(2007, 1, 5), D(2007, 3, 31));
  EXPECT_EQ(page.rfind("<!DOCTYPE", 0), 0u);
  EXPECT_NE(page.find("<title>ﾓﾃﾞﾙ建設(株) (7203.t)"), std::string::npos);
  EXPECT_NE(page.find("charset=EUC-JP"), std::string::npos);
  const auto scriptStart = page.find("<script");
  const auto scriptEnd = page.find("</script>");
  ASSERT_LT(scriptStart, scriptEnd);
  const std::string script = page.substr(scriptStart, scriptEnd - scriptStart);
  EXPECT_NE(script.find(" < "), std::string::npos);
  EXPECT_NE(script.find("&&"), std::string::npos);
  EXPECT_LT(page.find("<small>"), page.find("<!--/tab-->"));
  // The kept table is the data table, and neither it nor the name table nests a table.
  const std::string table = CutTable(page);
  EXPECT_EQ(table.rfind("<table width=\"100%\" border=0 cellspacing=1 cellpadding=2 "
                        "bgcolor=\"#999999\">",
                        0),
            0u);
  EXPECT_EQ(table.find("<table", 1), std::string::npos);
  const auto afterMarker = page.find("<!--/tab-->");
  const auto nameTable = page.find("<table", afterMarker);
  EXPECT_GT(page.find("</table>", nameTable), page.find("ﾓﾃﾞﾙ建設(株)</b>", nameTable));
  EXPECT_LT(page.find("</table>", nameTable), page.find("<table", nameTable + 1));
  EXPECT_NE(page.find("Copyright"), std::string::npos);
  EXPECT_EQ(page.find('\r'), std::string::npos);
}

TEST(PageWriter, Grouped) {
  EXPECT_EQ(Grouped(0), "0");
  EXPECT_EQ(Grouped(999), "999");
  EXPECT_EQ(Grouped(1000), "1,000");
  EXPECT_EQ(Grouped(123456789), "123,456,789");
  EXPECT_EQ(Grouped(-1234), "-1,234");
  EXPECT_EQ(Grouped(-999), "-999");
}

TEST(EucJp, TableAgreesWithTheCLibrary) {
  for (const EucJpEntry& entry : EucJpTable()) {
    std::string euc;
    euc += static_cast<char>(entry.euc >> 8);
    euc += static_cast<char>(entry.euc & 0xFF);
    const std::string utf8 = testing::EucJpToUtf8(euc);
    // Decode the single character back to a code point.
    char32_t point = 0;
    if (utf8.size() == 3) {
      point = ((utf8[0] & 0x0F) << 12) | ((utf8[1] & 0x3F) << 6) | (utf8[2] & 0x3F);
    }
    EXPECT_EQ(point, entry.codePoint) << std::hex << entry.euc;
  }
  for (std::size_t i = 1; i < EucJpTable().size(); ++i) {
    EXPECT_LT(EucJpTable()[i - 1].codePoint, EucJpTable()[i].codePoint);
  }
}

TEST(EucJp, Conversion) {
  EXPECT_EQ(ToEucJp("a<b>&1,2\n"), "a<b>&1,2\n");
  EXPECT_EQ(ToEucJp("年"), "\xC7\xAF");
  EXPECT_EQ(ToEucJp("ﾓ"), "\x8E\xD3");
  EXPECT_EQ(ToEucJp("2007年1月5日"),
            "2007\xC7\xAF"
            "1\xB7\xEE"
            "5\xC6\xFC");
  EXPECT_FALSE(ToEucJp("漢"));        // not a character the server writes
  EXPECT_FALSE(ToEucJp("\xE5\xB9"));  // cut sequence
  EXPECT_FALSE(ToEucJp("\xFF"));      // no UTF-8 lead byte
}

}  // namespace
}  // namespace pelmo::quote_server
