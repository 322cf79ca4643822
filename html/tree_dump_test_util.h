// Test-only: a one-line dump of a document tree, such as
// html{head{}body{table{tr{td{"1"}td{"2"}}}}}, and tree measurements that need no recursion.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "html/html_node.h"
#include "html/vocabulary.h"
#include "html/vocabulary_tables.h"

namespace pelmo::test {

inline std::string ElementNameForTests(int code) {
  if (code >= 0 && code < kElementCount) {
    return std::string(kElements[code].name);
  }
  std::string unknown = "?";
  unknown += std::to_string(code);
  return unknown;
}

inline int ElementCodeForTests(std::string_view name) {
  return FindElement(name);
}

inline void AppendDump(const HtmlNode* node, std::string& out) {
  if (node->IsText()) {
    out += '"';
    out += node->Text() != nullptr ? node->Text() : "<null>";
    out += '"';
    return;
  }
  out += ElementNameForTests(node->code);
  out += '{';
  for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
    AppendDump(child, out);
  }
  out += '}';
}

// Recursive: for trees of bounded depth only.
inline std::string DumpTree(const HtmlNode* node) {
  std::string out;
  if (node != nullptr) {
    AppendDump(node, out);
  }
  return out;
}

struct TreeShape {
  int nodes = 0;
  int maxDepth = 0;         // levels below the root
  int maxElementDepth = 0;  // of element nodes only
  bool linksSane = true;    // every child's parent is the node it hangs under
};

// Walks the whole tree without recursion, using the parent links to climb back.
inline TreeShape MeasureTree(const HtmlNode* root) {
  TreeShape shape;
  const HtmlNode* node = root;
  int depth = 0;
  while (node != nullptr) {
    ++shape.nodes;
    shape.maxDepth = std::max(shape.maxDepth, depth);
    if (!node->IsText()) {
      shape.maxElementDepth = std::max(shape.maxElementDepth, depth);
    }
    if (node->firstChild != nullptr) {
      shape.linksSane = shape.linksSane && node->firstChild->parent == node;
      node = node->firstChild;
      ++depth;
      continue;
    }
    while (node != root && node->nextSibling == nullptr) {
      node = node->parent;
      --depth;
    }
    if (node == root) {
      break;
    }
    shape.linksSane = shape.linksSane && node->nextSibling->parent == node->parent;
    node = node->nextSibling;
  }
  return shape;
}

}  // namespace pelmo::test
