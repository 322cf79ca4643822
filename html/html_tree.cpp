#include "html/html_tree.h"

#include <algorithm>
#include <new>

namespace pelmo {

namespace {

// A table page makes about a thousand nodes: the first block holds a quarter of them, and
// blocks double up to a size that keeps each allocation modest on huge pages.
constexpr std::size_t kFirstBlockSize = 256;
constexpr std::size_t kLargestBlockSize = 4096;

}  // namespace

HtmlNode* HtmlTree::Allocate(int code) {
  HtmlNode* node = free_;
  if (node != nullptr) {
    free_ = node->nextSibling;
    *node = HtmlNode{};
  } else {
    if (blockUsed_ == blockSize_)
      AddBlock();
    // Blocks are raw storage: each node is made once, here.
    node = ::new (static_cast<void*>(blocks_.back().get() + blockUsed_++ * sizeof(HtmlNode)))
        HtmlNode{};
  }
  node->code = code;
  ++nodeCount_;
  return node;
}

void HtmlTree::AddBlock() {
  blockSize_ = blocks_.empty() ? kFirstBlockSize : std::min(2 * blockSize_, kLargestBlockSize);
  blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(blockSize_ * sizeof(HtmlNode)));
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
