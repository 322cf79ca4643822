// The HTML grammar: turns a token list into the document tree.
//
// A recursive descent with one rule per element of the vocabulary. A rule recognises its
// element's start tag, makes the node, collects the children its content allows and then
// deals with the end tag: an optional end tag is consumed only when it comes next, a
// required one makes the rule drop every token up to and including it. A token that the
// content does not allow ends the content, which is how omitted end tags are implied.
// Markup is never an error: what the rules do not accept is dropped or left unread.
#pragma once

#include "html/html_token.h"
#include "html/html_tree.h"

namespace pelmo {

// How many levels below the root an element node may lie. A start tag that would nest
// deeper does not match its rule and so ends the enclosing content; this keeps the
// recursion of the rules bounded on hostile pages. Text nodes are not limited.
inline constexpr int kMaxElementDepth = 512;

// Builds the tree of the token chain that starts at `first` (null for an empty list),
// reading forward through `next`. The result always has a root: an `html` node whose first
// two children are `head` and `body`, made even when the page omits their tags. Nodes
// point into the tokens (attribute lists and text characters), which must outlive the tree.
// Tokens that follow the point where `body` ends are ignored.
HtmlTree BuildDocumentTree(const HtmlToken* first);

}  // namespace pelmo
