// Test-only: hostile table pages for the page step, shared by the tests and the benchmark.
//
// Each builder returns a whole page shaped like the service's (text, the "<!--/tab-->"
// marker, a name table, then the data table and a footer), so that the cut keeps the data
// table, unless the point is the cut itself. Data tables open with a header row and two
// ordinary data rows (KnownRows), which every hostile page must leave readable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "html/html_node.h"
#include "quote/quote_page.h"

namespace pelmo::hostile {

// "2007年1月<day>日" in Shift_JIS.
inline std::string DateText(int day) {
  return "2007\x94\x4E"
         "1\x8C\x8E" +
         std::to_string(day) + "\x93\xFA";
}

inline std::string WrapAsServicePage(std::string_view dataTable) {
  std::string page =
      "<html><head><title>1234</title></head><body>quote pages<table><tr><td>menu</td></tr>"
      "</table><!--/tab--><table><tr><td>name</td><td>1234</td></tr></table>";
  page += dataTable;
  page += "<table><tr><td>footer</td></tr></table></body></html>";
  return page;
}

// Header and two rows dated 2007/01/04 (1,000.5 ... 6) and 2007/01/05 (7 ... 12).
inline std::string KnownRows() {
  return "<tr><th>date</th><th>open</th><th>high</th><th>low</th><th>close</th><th>volume</th>"
         "<th>adj</th></tr><tr><td>" +
         DateText(4) +
         "</td><td>1,000.5</td><td>2</td><td>3</td><td>4</td><td>5</td><td>6</td></tr>"
         "<tr><td>" +
         DateText(5) + "</td><td>7</td><td>8</td><td>9</td><td>10</td><td>11</td><td>12</td></tr>";
}

// A row dated 2007/01/<day> whose second cell is `cell` and third is "6".
inline std::string RowWithCell(int day, std::string_view cell) {
  std::string row = "<tr><td>" + DateText(day) + "</td><td>";
  row += cell;
  row += "</td><td>6</td></tr>";
  return row;
}

// A quote opened in an attribute of the third row and never closed, followed by `bytes`
// of ordinary rows, which all belong to the attribute value.
inline std::string UnclosedQuotePage(std::size_t bytes) {
  std::string table = "<table>" + KnownRows() + "<tr><td align=\"";
  const std::string row = RowWithCell(6, "13");
  table.reserve(table.size() + bytes + row.size() + 16);
  while (table.size() < bytes) {
    table += row;
  }
  table += "</td></tr></table>";
  return WrapAsServicePage(table);
}

// `depth` copies of `open`, then "5", then `depth` copies of `close`, in the second cell
// of a third row dated 2007/01/06.
inline std::string NestedPage(std::string_view open, std::string_view close, int depth) {
  std::string cell;
  cell.reserve((open.size() + close.size()) * static_cast<std::size_t>(depth) + 1);
  for (int i = 0; i < depth; ++i) {
    cell += open;
  }
  cell += '5';
  for (int i = 0; i < depth; ++i) {
    cell += close;
  }
  return WrapAsServicePage("<table>" + KnownRows() + RowWithCell(6, cell) + "</table>");
}

// `count` note rows of one cell each: siblings below the table.
inline std::string SiblingRowsPage(int count) {
  std::string table = "<table>" + KnownRows();
  for (int i = 0; i < count; ++i) {
    table += "<tr><td>n</td></tr>";
  }
  table += "</table>";
  return WrapAsServicePage(table);
}

// `count` sibling elements in one cell: "<b>1</b>" repeated, so that every one of them is
// a text of the row.
inline std::string SiblingCellsPage(int count) {
  std::string table = "<table>" + KnownRows() + "<tr><td>" + DateText(6) + "</td>";
  for (int i = 0; i < count; ++i) {
    table += "<td><b>";
    table += std::to_string(i % 10);
    table += "</b></td>";
  }
  table += "</tr></table>";
  return WrapAsServicePage(table);
}

// `count` small tags, each written inside the one before ("<sm<sm<small>all>all>"), so
// that only removing what a removal joins clears them, around the value "1,2|34" where
// '|' marks the tags. Closing tags are nested the same way in the next cell.
inline std::string JoinedSmallTagsPage(int count) {
  std::string opening;
  std::string closing;
  for (int i = 0; i < count; ++i) {
    opening += "<sm";
    closing += "</sm";
  }
  opening += "<small>";
  closing += "</small>";
  for (int i = 0; i < count; ++i) {
    opening += "all>";
    closing += "all>";
  }
  return WrapAsServicePage("<table>" + KnownRows() + "<tr><td>" + DateText(6) + "</td><td>1,2" +
                           opening + "34</td><td>5" + closing + "6</td><td>7</td></tr></table>");
}

// A row dated 2007/01/06 whose second cell holds `count` start tags of an unknown element
// around the value "1|2", each with nine attributes in turn single-quoted, double-quoted
// and plain: one more than the lexer reads in one step, so that the rules read each again.
inline std::string AttributeTagsPage(int count) {
  std::string tags;
  const std::string_view tag = "<x a='1' b=\"2\" c=3 d='4' e=\"5\" f=6 g='7' h=\"8\" i=9>";
  tags.reserve(tag.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    tags += tag;
  }
  std::string cell = "1";
  cell += tags;
  cell += '2';
  return WrapAsServicePage("<table>" + KnownRows() + RowWithCell(6, cell) + "</table>");
}

// A cell of "1", `bytes` commas and "5".
inline std::string CommaCellPage(std::size_t bytes) {
  // Appended rather than concatenated: g++ 12 at -O3 warns falsely on "1" + std::string.
  std::string cell = "1";
  cell.append(bytes, ',');
  cell += '5';
  return WrapAsServicePage("<table>" + KnownRows() + RowWithCell(6, cell) + "</table>");
}

inline std::string References(int count) {
  std::string text;
  text.reserve(static_cast<std::size_t>(count) * 14);
  for (int i = 0; i < count; ++i) {
    text += "&#99999999999;";
  }
  return text;
}

// A row dated 2007/01/06 whose second cell is "7" followed by `count` references to a
// number beyond every character set.
inline std::string ReferenceCellPage(int count) {
  std::string cell = "7";
  cell += References(count);
  return WrapAsServicePage("<table>" + KnownRows() + RowWithCell(6, cell) + "</table>");
}

// A third row of `cells` cells: the date, then 1, 2, 3, ... up to `cells` - 1.
inline std::string WideRowPage(int cells) {
  std::string table = "<table>" + KnownRows() + "<tr><td>" + DateText(6) + "</td>";
  for (int i = 1; i < cells; ++i) {
    table += "<td>" + std::to_string(i) + "</td>";
  }
  table += "</tr></table>";
  return WrapAsServicePage(table);
}

// Hands out one page, whatever is asked.
class CannedPageSource : public PageSource {
 public:
  explicit CannedPageSource(const std::string& page) : page_(page) {}
  PageResult Get(const std::string&) override { return {page_, {}}; }

 private:
  const std::string& page_;
};

// Depth of the deepest element below the root; text nodes are not counted. Walks along the
// links, so a deep tree needs no stack.
inline int MaxElementDepth(const HtmlNode& root) {
  int deepest = 0;
  int depth = 0;
  const HtmlNode* node = root.firstChild;
  depth = node != nullptr ? 1 : 0;
  while (node != nullptr) {
    if (!node->IsText() && depth > deepest) {
      deepest = depth;
    }
    if (node->firstChild != nullptr) {
      node = node->firstChild;
      ++depth;
      continue;
    }
    while (node != nullptr && node != &root && node->nextSibling == nullptr) {
      node = node->parent;
      --depth;
    }
    node = node == nullptr || node == &root ? nullptr : node->nextSibling;
  }
  return deepest;
}

}  // namespace pelmo::hostile
