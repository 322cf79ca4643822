// Building and releasing the document tree.
//
// Each node is allocated by itself. A tree is owned through its root: FreeTree releases a
// node together with every node below it, and HtmlTreePtr calls it for the root. Children
// are owned by their parent's tree and never released on their own while it is in use.
#pragma once

#include <memory>

#include "html/html_node.h"

namespace pelmo {

// Releases `node` and every node below it, but not its siblings and never what `data`
// points to. Does nothing for null. Works without recursion, so any depth is safe.
void FreeTree(HtmlNode* node);

struct HtmlTreeDeleter {
  void operator()(HtmlNode* node) const { FreeTree(node); }
};

// Owns a whole tree through its root.
using HtmlTreePtr = std::unique_ptr<HtmlNode, HtmlTreeDeleter>;

// A new root node with `code`; its links and `data` are null.
HtmlTreePtr NewNode(int code);

// Allocates a node with `code`, sets its `parent` and links it as the last child of
// `parent`, which must not be null. Returns the new node, owned by `parent`'s tree.
// Constant time as long as every child of `parent` was added here.
HtmlNode* AppendChild(HtmlNode* parent, int code);

}  // namespace pelmo
