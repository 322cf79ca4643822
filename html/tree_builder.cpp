#include "html/tree_builder.h"

#include "html/grammar.h"

namespace pelmo {

HtmlTreeBuilder::HtmlTreeBuilder(const char* text, int length) : HtmlTokenList(text, length) {}

HtmlTreeBuilder::~HtmlTreeBuilder() {
  // The nodes point into the tokens, which the base class releases after this body runs.
  root_.reset();
}

void HtmlTreeBuilder::Run() {
  HtmlTokenList::Run();
  root_ = BuildDocumentTree(head);
}

}  // namespace pelmo
