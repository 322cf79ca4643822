#include "html/html_tree.h"

namespace pelmo {

namespace {

HtmlNode* AllocateNode(int code) {
  auto node = std::make_unique<HtmlNode>();
  node->code = code;
  return node.release();
}

void ReleaseNode(HtmlNode* node) {
  std::unique_ptr<HtmlNode> owned(node);
}

}  // namespace

void FreeTree(HtmlNode* node) {
  if (node == nullptr) {
    return;
  }
  // Nodes waiting to be released form one chain through nextSibling: a released node's
  // children are spliced in at the front. Every child list is walked once to find its end,
  // so the work is linear and the stack stays flat however deep the tree is.
  node->nextSibling = nullptr;
  HtmlNode* pending = node;
  while (pending != nullptr) {
    HtmlNode* current = pending;
    pending = current->nextSibling;
    if (HtmlNode* child = current->firstChild) {
      HtmlNode* last = child;
      while (last->nextSibling != nullptr) {
        last = last->nextSibling;
      }
      last->nextSibling = pending;
      pending = child;
    }
    ReleaseNode(current);
  }
}

HtmlTreePtr NewNode(int code) {
  return HtmlTreePtr(AllocateNode(code));
}

HtmlNode* AppendChild(HtmlNode* parent, int code) {
  HtmlNode* node = AllocateNode(code);
  node->parent = parent;
  // Start from the remembered last child; the walk only has work to do when someone linked
  // children by hand.
  HtmlNode* last = parent->lastChild != nullptr ? parent->lastChild : parent->firstChild;
  if (last == nullptr) {
    parent->firstChild = node;
  } else {
    while (last->nextSibling != nullptr) {
      last = last->nextSibling;
    }
    last->nextSibling = node;
  }
  parent->lastChild = node;
  return node;
}

}  // namespace pelmo
