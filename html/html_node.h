// One node of the document tree: an element or a piece of text.
//
// Nodes do not copy page content: `data` points into the token list that owns it, so a
// tree lives no longer than its tokens.
#pragma once

namespace pelmo {

inline constexpr int kTextNodeCode = -2;

struct HtmlNode {
  HtmlNode* parent = nullptr;       // null for the root
  HtmlNode* nextSibling = nullptr;  // null for a last child
  HtmlNode* firstChild = nullptr;   // null when there are no children
  int code = -1;                    // element code, or kTextNodeCode
  // Element: its start tag's HtmlAttributeList, or null when the page left the start tag
  // out. Text: the NUL-terminated characters. Not owned.
  const void* data = nullptr;
};

}  // namespace pelmo
