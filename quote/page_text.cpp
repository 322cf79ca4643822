#include "quote/page_text.h"

#include <array>

#include "base/ascii.h"
#include "quote/sjis_search.h"
#include "quote/tag_strip.h"

namespace pelmo {
namespace {

// ASCII letters only: the process locale must not change which bytes are removed.
std::string MapCase(std::string text, bool upper) {
  for (char& c : text) {
    c = upper ? UpperAscii(c) : LowerAscii(c);
  }
  return text;
}

std::string Tag(std::string_view opening, std::string_view name) {
  std::string tag(opening);
  tag += name;
  tag += '>';
  return tag;
}

}  // namespace

void CutToTable(std::optional<std::string>& pageText) {
  if (!pageText) {
    return;
  }
  const std::string_view text = *pageText;
  const std::size_t marker = SjisFind(text, "<!--/tab-->");
  // The first table after the marker is the page's navigation; the data is the second.
  const std::size_t first = SjisFind(text, "<table", marker == kNotFound ? 0 : marker + 1);
  const std::size_t second = first == kNotFound ? kNotFound : SjisFind(text, "<table", first + 1);
  const std::size_t end = second == kNotFound ? kNotFound : SjisFind(text, "</table>", second);
  if (end == kNotFound) {
    pageText->clear();
    return;
  }
  constexpr std::size_t kEndTagLength = 8;
  // In place: the page is large and only the copy would need new memory.
  pageText->erase(end + kEndTagLength);
  pageText->erase(0, second);
}

void StripElementTags(std::optional<std::string>& pageText, std::string_view name) {
  if (!pageText) {
    return;
  }
  const std::array<std::string, 4> tags{
      MapCase(Tag("<", name), false), MapCase(Tag("<", name), true),
      MapCase(Tag("</", name), false), MapCase(Tag("</", name), true)};
  if (std::optional<std::string> stripped = RemoveTagsInOnePass(*pageText, tags)) {
    *pageText = std::move(*stripped);
    return;
  }
  for (const std::string& tag : tags) {
    *pageText = RemoveAllMatches(*pageText, tag);
  }
}

}  // namespace pelmo
