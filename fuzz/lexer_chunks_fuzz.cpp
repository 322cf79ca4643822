// The lexer fed the same text whole and in two chunks cut where the first two bytes say, and
// whole with its one-step shortcuts off: all three runs must deliver the same events. Each
// run ends with the end-of-input call.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "html/lexer.h"

namespace {

using Events = std::vector<std::string>;

// One event as its sink letter, then kind, length and bytes of each token.
template <char kSink>
int Record(void* user, pelmo::HtmlLexer&, int count, const pelmo::HtmlLexKind* kinds,
           const char* const* texts, const int* lengths) {
  std::string event(1, kSink);
  for (int i = 0; i < count; ++i) {
    event += ' ';
    event += std::to_string(static_cast<int>(kinds[i]));
    event += ':';
    event += std::to_string(lengths[i]);
    if (texts[i] == nullptr) {
      event += lengths[i] == 0 ? "null" : "null-with-length";
    } else {
      event += '"';
      event.append(texts[i], static_cast<std::size_t>(lengths[i]));
      event += '"';
    }
  }
  static_cast<Events*>(user)->push_back(std::move(event));
  return 0;
}

// Feeds the chunks, each copied on its own so that a read past one is seen, then the end.
Events Lex(std::string_view text, std::size_t cut, bool normalize, bool shortcuts = true) {
  Events events;
  pelmo::HtmlLexSinks sinks;
  sinks.content = &Record<'C'>;
  sinks.declaration = &Record<'D'>;
  sinks.message = &Record<'M'>;
  sinks.contentUser = sinks.declarationUser = sinks.messageUser = &events;
  pelmo::HtmlLexer lexer;
  lexer.SetNormalize(normalize);
  lexer.SetShortcuts(shortcuts);
  for (std::string_view part : {text.substr(0, cut), text.substr(cut)}) {
    if (!part.empty()) {
      const std::string chunk(part);
      lexer.Feed(chunk.data(), static_cast<int>(chunk.size()), sinks);
    }
  }
  lexer.Feed("", 0, sinks);
  return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) {
    return 0;
  }
  // The first two bytes: whether names are normalized (top bit) and where to cut, so that
  // both chunks are not empty.
  const unsigned control = data[0] << 8 | data[1];
  const bool normalize = (control & 0x8000) != 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::size_t cut = 1 + (control & 0x7FFF) % (text.size() - 1);
  const Events whole = Lex(text, text.size(), normalize);
  const Events split = Lex(text, cut, normalize);
  const Events byRules = Lex(text, text.size(), normalize, false);
  if (whole != split || whole != byRules) {
    const Events& other = whole != split ? split : byRules;
    std::fprintf(stderr, "events differ %s (normalize %d)\n",
                 whole != split ? "for a cut" : "without the shortcuts", normalize);
    if (whole != split) {
      std::fprintf(stderr, "cut after %zu bytes\n", cut);
    }
    for (std::size_t i = 0; i < whole.size() || i < other.size(); ++i) {
      const std::string a = i < whole.size() ? whole[i] : "(none)";
      const std::string b = i < other.size() ? other[i] : "(none)";
      std::fprintf(stderr, "%c %zu\n  whole: %s\n  other: %s\n", a == b ? ' ' : '*', i, a.c_str(),
                   b.c_str());
    }
    std::abort();
  }
  return 0;
}
