// The document tree's storage and the operations that build and release it.
//
// An HtmlTree owns every node of one tree. Nodes are carved from blocks, so that a page of
// a few thousand nodes costs a handful of allocations; FreeTree hands nodes back for reuse,
// and destroying the HtmlTree releases all of its storage at once. Node pointers stay valid
// while the HtmlTree lives, also when it is moved.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

#include "html/html_node.h"

namespace pelmo {

class HtmlTree {
 public:
  HtmlTree() = default;
  HtmlTree(HtmlTree&&) = default;
  HtmlTree& operator=(HtmlTree&&) = default;

  // The top node: the first one NewNode made, null before that or once it is released.
  HtmlNode* root() const { return root_; }

  // A node with `code` whose links and `data` are null. The first one becomes the root.
  HtmlNode* NewNode(int code);

  // Makes a node with `code`, sets its `parent` and links it as the last child of `parent`,
  // which must belong to this tree. Returns the new node. Constant time as long as every
  // child of `parent` was added here.
  HtmlNode* AppendChild(HtmlNode* parent, int code);

  // Releases `node` and every node below it, but not its siblings and never what `data`
  // points to; does nothing for null. The caller unlinks `node` from its parent first
  // unless it is the root. Works without recursion, so any depth is safe.
  void FreeTree(HtmlNode* node);

  // Nodes made and not yet released.
  std::size_t NodeCount() const { return nodeCount_; }

 private:
  HtmlNode* Allocate(int code);
  // Kept out of Allocate, which runs for every node, so that it stays small enough to inline.
  [[gnu::noinline]] void AddBlock();
  // Whether `node` was made in one of the blocks, at a node's place; for debug checks.
  bool MadeHere(const HtmlNode* node) const;

  // Nodes need no destructor, so blocks are raw storage that nodes are made in one by one.
  static_assert(std::is_trivially_destructible_v<HtmlNode>);
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::size_t blockSize_ = 0;  // of the last block
  std::size_t blockUsed_ = 0;  // nodes taken from the last block
  HtmlNode* free_ = nullptr;   // released nodes, chained through nextSibling
  HtmlNode* root_ = nullptr;
  std::size_t nodeCount_ = 0;
};

}  // namespace pelmo
