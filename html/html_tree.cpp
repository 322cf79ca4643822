#include "html/html_tree.h"

#include <algorithm>

namespace pelmo {

namespace {

// Blocks start small for small pages and double up to a size that keeps each allocation
// modest on huge ones.
constexpr std::size_t kFirstBlockSize = 64;
constexpr std::size_t kLargestBlockSize = 4096;

}  // namespace

HtmlNode* HtmlTree::Allocate(int code) {
  HtmlNode* node = free_;
  if (node != nullptr) {
    free_ = node->nextSibling;
  } else {
    if (blockUsed_ == blockSize_)
      AddBlock();
    node = &blocks_.back()[blockUsed_++];
  }
  *node = HtmlNode{};
  node->code = code;
  ++nodeCount_;
  return node;
}

void HtmlTree::AddBlock() {
  blockSize_ = blocks_.empty() ? kFirstBlockSize : std::min(2 * blockSize_, kLargestBlockSize);
  blocks_.push_back(std::make_unique<HtmlNode[]>(blockSize_));
  blockUsed_ = 0;
}

HtmlNode* HtmlTree::NewNode(int code) {
  HtmlNode* node = Allocate(code);
  if (root_ == nullptr) {
    root_ = node;
  }
  return node;
}

HtmlNode* HtmlTree::AppendChild(HtmlNode* parent, int code) {
  HtmlNode* node = Allocate(code);
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

void HtmlTree::FreeTree(HtmlNode* node) {
  if (node == nullptr) {
    return;
  }
  if (node == root_) {
    root_ = nullptr;
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
    current->nextSibling = free_;
    free_ = current;
    --nodeCount_;
  }
}

}  // namespace pelmo
