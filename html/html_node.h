// One node of the document tree: an element or a piece of text.
//
// Nodes do not copy page content: `data` points into the token list that owns it, so a
// tree lives no longer than its tokens.
#pragma once

namespace pelmo {

struct HtmlAttributeList;

inline constexpr int kTextNodeCode = -2;

struct HtmlNode {
  HtmlNode* parent = nullptr;       // null for the root
  HtmlNode* nextSibling = nullptr;  // null for a last child
  HtmlNode* firstChild = nullptr;   // null when there are no children
  int code = -1;                    // element code, or kTextNodeCode
  // Element: its start tag's HtmlAttributeList, or null when the page left the start tag
  // out. Text: the NUL-terminated characters. Not owned.
  const void* data = nullptr;
  // The child that AppendChild added last, so that adding a child costs the same however
  // many siblings it has. Not part of the tree's shape: readers follow firstChild and
  // nextSibling only.
  HtmlNode* lastChild = nullptr;

  bool IsText() const { return code == kTextNodeCode; }
  // The start tag's attribute list for an element (null when the tag was left out), null
  // for a text node.
  const HtmlAttributeList* Attributes() const {
    return IsText() ? nullptr : static_cast<const HtmlAttributeList*>(data);
  }
  // The NUL-terminated characters of a text node, null for an element.
  const char* Text() const { return IsText() ? static_cast<const char*>(data) : nullptr; }
};

}  // namespace pelmo
