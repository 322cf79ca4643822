// The tree builder: a token list that also builds the document tree of its page.
//
// Run tokenizes the page into the inherited token list and then builds the tree from the
// list's first token. The tree's nodes point into the tokens (attribute lists and text), so
// both live in this one object and are released together, the tree first.
#pragma once

#include "html/html_node.h"
#include "html/html_tree.h"
#include "html/token_list.h"

namespace pelmo {

class HtmlTreeBuilder : public HtmlTokenList {
 public:
  // `text` is not owned and must stay alive until Run returns; the tokens and the tree keep
  // their own copies of what they need.
  HtmlTreeBuilder(const char* text, int length);
  ~HtmlTreeBuilder() override;

  // Builds the token list, then the tree. Call once. Never fails: any page, the empty one
  // included, yields a tree with at least html, head and body.
  void Run() override;

  // The `html` node at the top of the tree; null before Run. Owned by the builder.
  const HtmlNode* root() const { return tree_.root(); }

 private:
  HtmlTree tree_;
};

}  // namespace pelmo
