#include "html/html_tree.h"

#include <algorithm>
#include <cassert>
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
    assert(blockUsed_ <= blockSize_);
    if (blockUsed_ == blockSize_) {
      AddBlock();
    }
    assert(!blocks_.empty() && blockUsed_ < blockSize_);
    // Blocks are raw storage: each node is made once, here.
    node = ::new (static_cast<void*>(blocks_.back().get() + blockUsed_++ * sizeof(HtmlNode)))
        HtmlNode{};
  }
  node->code = code;
  ++nodeCount_;
  return node;
}

bool HtmlTree::MadeHere(const HtmlNode* node) const {
  const auto* at = reinterpret_cast<const std::byte*>(node);
  std::size_t size = kFirstBlockSize;
  for (const auto& block : blocks_) {
    const std::size_t used = &block == &blocks_.back() ? blockUsed_ : size;
    if (at >= block.get() && at < block.get() + used * sizeof(HtmlNode)) {
      return (at - block.get()) % sizeof(HtmlNode) == 0;
    }
    size = std::min(2 * size, kLargestBlockSize);
  }
  return false;
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

// Fast path: HtmlTree::AppendChild (docs/fast_paths.md).
HtmlNode* HtmlTree::AppendChild(HtmlNode* parent, int code) {
  assert(parent != nullptr);
  // The remembered last child is a child of `parent`, and the last one unless someone linked
  // more by hand.
  assert(parent->lastChild == nullptr || parent->lastChild->parent == parent);
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
  assert(MadeHere(node));
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
    assert(nodeCount_ > 0);
    --nodeCount_;
  }
}

}  // namespace pelmo
