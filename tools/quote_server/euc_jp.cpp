#include "tools/quote_server/euc_jp.h"

#include <algorithm>
#include <array>

namespace pelmo::quote_server {

namespace {

constexpr std::array<EucJpEntry, 103> kTable = {{
    {0x3002, 0xA1A3},  // 。
    {0x3042, 0xA4A2},  // あ
    {0x3053, 0xA4B3},  // こ
    {0x3054, 0xA4B4},  // ご
    {0x3059, 0xA4B9},  // す
    {0x305B, 0xA4BB},  // せ
    {0x305D, 0xA4BD},  // そ
    {0x3067, 0xA4C7},  // で
    {0x306E, 0xA4CE},  // の
    {0x306F, 0xA4CF},  // は
    {0x307E, 0xA4DE},  // ま
    {0x308A, 0xA4EA},  // り
    {0x3093, 0xA4F3},  // ん
    {0x30B3, 0xA5B3},  // コ
    {0x30BF, 0xA5BF},  // タ
    {0x30C3, 0xA5C3},  // ッ
    {0x30C7, 0xA5C7},  // デ
    {0x30C8, 0xA5C8},  // ト
    {0x30C9, 0xA5C9},  // ド
    {0x30D7, 0xA5D7},  // プ
    {0x30D8, 0xA5D8},  // ヘ
    {0x30EB, 0xA5EB},  // ル
    {0x30FC, 0xA1BC},  // ー
    {0x4E8B, 0xBBF6},  // 事
    {0x4ED8, 0xC9D5},  // 付
    {0x4F5C, 0xBAEE},  // 作
    {0x4FA1, 0xB2C1},  // 価
    {0x4FE1, 0xBFAE},  // 信
    {0x500D, 0xC7DC},  // 倍
    {0x501F, 0xBCDA},  // 借
    {0x5024, 0xC3CD},  // 値
    {0x51FA, 0xBDD0},  // 出
    {0x5206, 0xCAAC},  // 分
    {0x5217, 0xCEF3},  // 列
    {0x524D, 0xC1B0},  // 前
    {0x5272, 0xB3E4},  // 割
    {0x52D5, 0xC6B0},  // 動
    {0x5316, 0xB2BD},  // 化
    {0x5546, 0xBEA6},  // 商
    {0x58F2, 0xC7E4},  // 売
    {0x59CB, 0xBBCF},  // 始
    {0x5B66, 0xB3D8},  // 学
    {0x5B89, 0xB0C2},  // 安
    {0x5DE5, 0xB9A9},  // 工
    {0x5E74, 0xC7AF},  // 年
    {0x5EFA, 0xB7FA},  // 建
    {0x5F8C, 0xB8E5},  // 後
    {0x610F, 0xB0D5},  // 意
    {0x6240, 0xBDEA},  // 所
    {0x63B2, 0xB7C7},  // 掲
    {0x6574, 0xC0B0},  // 整
    {0x65E5, 0xC6FC},  // 日
    {0x6642, 0xBBFE},  // 時
    {0x6708, 0xB7EE},  // 月
    {0x671F, 0xB4FC},  // 期
    {0x6765, 0xCDE8},  // 来
    {0x6771, 0xC5EC},  // 東
    {0x67B6, 0xB2CD},  // 架
    {0x67C4, 0xCAC1},  // 柄
    {0x682A, 0xB3F4},  // 株
    {0x683C, 0xB3CA},  // 格
    {0x6841, 0xB7E5},  // 桁
    {0x691C, 0xB8A1},  // 検
    {0x696D, 0xB6C8},  // 業
    {0x6A5F, 0xB5A1},  // 機
    {0x6B21, 0xBCA1},  // 次
    {0x6B8B, 0xBBC4},  // 残
    {0x6BD4, 0xC8E6},  // 比
    {0x6CE8, 0xC3ED},  // 注
    {0x7387, 0xCEA8},  // 率
    {0x7528, 0xCDD1},  // 用
    {0x7A7A, 0xB6F5},  // 空
    {0x7CBE, 0xC0BA},  // 精
    {0x7CFB, 0xB7CF},  // 系
    {0x7D22, 0xBAF7},  // 索
    {0x7D42, 0xBDAA},  // 終
    {0x81EA, 0xBCAB},  // 自
    {0x88FD, 0xC0BD},  // 製
    {0x8A2D, 0xC0DF},  // 設
    {0x8A3C, 0xBEDA},  // 証
    {0x8A66, 0xBBEE},  // 試
    {0x8ABF, 0xC4B4},  // 調
    {0x8CB7, 0xC7E3},  // 買
    {0x8CB8, 0xC2DF},  // 貸
    {0x8ECA, 0xBCD6},  // 車
    {0x8F09, 0xBADC},  // 載
    {0x9031, 0xBDB5},  // 週
    {0x90E8, 0xC9F4},  // 部
    {0x9298, 0xCCC3},  // 銘
    {0x9593, 0xB4D6},  // 間
    {0x96FB, 0xC5C5},  // 電
    {0x9A13, 0xB8B3},  // 験
    {0x9AD8, 0xB9E2},  // 高
    {0xFF7B, 0x8EBB},  // ｻ
    {0xFF7D, 0x8EBD},  // ｽ
    {0xFF83, 0x8EC3},  // ﾃ
    {0xFF84, 0x8EC4},  // ﾄ
    {0xFF8C, 0x8ECC},  // ﾌ
    {0xFF93, 0x8ED3},  // ﾓ
    {0xFF99, 0x8ED9},  // ﾙ
    {0xFF9D, 0x8EDD},  // ﾝ
    {0xFF9E, 0x8EDE},  // ﾞ
    {0xFF9F, 0x8EDF},  // ﾟ
}};

// The code point that starts at `text[i]`, advancing `i`; nullopt for a malformed sequence.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  int extra = 0;
  char32_t point = 0;
  if (lead < 0x80) {
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    point = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    point = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    point = lead & 0x07;
  } else {
    return std::nullopt;
  }
  for (; extra > 0; --extra) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      return std::nullopt;
    }
    point = (point << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return point;
}

}  // namespace

std::span<const EucJpEntry> EucJpTable() {
  return kTable;
}

std::optional<std::string> ToEucJp(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto point = NextCodePoint(utf8, i);
    if (!point) {
      return std::nullopt;
    }
    if (*point < 0x80) {
      out += static_cast<char>(*point);
      continue;
    }
    const auto it = std::lower_bound(
        kTable.begin(), kTable.end(), *point,
        [](const EucJpEntry& entry, char32_t key) { return entry.codePoint < key; });
    if (it == kTable.end() || it->codePoint != *point) {
      return std::nullopt;
    }
    out += static_cast<char>(it->euc >> 8);
    out += static_cast<char>(it->euc & 0xFF);
  }
  return out;
}

}  // namespace pelmo::quote_server
