#include "quote/page_tree.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include "html/tree_builder.h"

namespace pelmo {

void ParseQuotePageTree(std::string_view text,
                        const std::function<void(const HtmlNode& root)>& visit) {
  // Pages are capped far below INT_MAX by the fetcher; the clamp only keeps the cast sound.
  const int length = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
  HtmlTreeBuilder builder(text.data(), length);
  builder.Run();
  if (builder.root() != nullptr) {
    visit(*builder.root());
  }
}

}  // namespace pelmo
