#include "html/tree_builder.h"

#include "html/grammar.h"

namespace pelmo {

HtmlTreeBuilder::HtmlTreeBuilder(const char* text, int length) : HtmlTokenList(text, length) {}

HtmlTreeBuilder::~HtmlTreeBuilder() {
  // The nodes point into the tokens, which the base class releases after this body runs;
  // releasing the tree's storage releases every node at once.
  tree_ = HtmlTree();
}

void HtmlTreeBuilder::Run() {
  HtmlTokenList::Run();
  tree_ = BuildDocumentTree(head);
}

}  // namespace pelmo
