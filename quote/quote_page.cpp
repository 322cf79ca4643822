#include "quote/quote_page.h"

#include <optional>
#include <string>
#include <utility>

#include "quote/page_text.h"
#include "quote/quote_url.h"
#include "quote/table_rows.h"

namespace pelmo {
// The root always has `head` followed by `body`, and the prepared text starts with the
// table, so first child, next sibling, first child leads to it.
const HtmlNode* FindTable(const HtmlNode& root) {
  const HtmlNode* node = &root;
  for (const char step : std::string_view("cbc")) {
    node = step == 'c' ? node->firstChild : node->nextSibling;
    if (node == nullptr) {
      return nullptr;
    }
  }
  return node;
}

Result FetchQuotePage(DownloadJob& job, SerialDate first, SerialDate last, PageSource& source,
                      const TreeParser& parseTree) {
  PageResult page = source.Get(BuildQuoteUrl(job, first, last));
  if (!page.result.ok()) {
    return std::move(page.result);
  }
  std::optional<std::string> text(std::move(page.text));
  CutToTable(text);
  StripElementTags(text, "small");
  if (text->empty()) {
    return {};
  }
  const PageWindow window{first, last};
  Result stored;
  parseTree(*text, [&](const HtmlNode& root) {
    if (const HtmlNode* table = FindTable(root)) {
      stored = ReadTable(job, table, &window);
    }
  });
  return stored;
}

}  // namespace pelmo
