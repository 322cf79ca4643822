// Builds the document tree of a prepared table page with the HTML tree builder.
#pragma once

#include <functional>
#include <string_view>

#include "html/html_node.h"

namespace pelmo {

// Tokenizes `text`, builds its tree and calls `visit` with the root while the tree lives.
// Matches quote_page.h's TreeParser.
void ParseQuotePageTree(std::string_view text,
                        const std::function<void(const HtmlNode& root)>& visit);

}  // namespace pelmo
