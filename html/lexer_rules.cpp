#include "html/lexer_rules.h"

#include <cassert>
#include <cstring>

namespace pelmo {
namespace {

constexpr LexClass kLetter = LexClass::Letter;
constexpr LexClass kDigit = LexClass::Digit;
constexpr LexClass kName = LexClass::Name;
constexpr LexClass kSpace = LexClass::Space;
constexpr LexClass kTerm = LexClass::Term;
constexpr LexClass kOther = LexClass::Other;
constexpr LexClass kNotValue = LexClass::NotValue;
constexpr LexClass kDataStop = LexClass::DataStop;

// A byte not yet available (-1) is in no class.
bool Is(int c, LexClass classes) {
  return c >= 0 && InLexClass(static_cast<char>(c), classes);
}

std::ptrdiff_t Skip(LexProbe& probe, std::ptrdiff_t i, LexClass classes) {
  while (Is(probe.At(i), classes)) {
    ++i;
  }
  return i;
}

// Keeps the longest match; offered in rule order, so an equal length keeps the lower rule.
struct Best {
  LexRuleMatch match;
  LexRule lastOffered = LexRule::None;
  void Offer(LexRule rule, std::ptrdiff_t length) {
    assert(rule > lastOffered && "rules are offered in priority order");
    lastOffered = rule;
    if (length > match.length) {
      match = {rule, static_cast<int>(length)};
    }
  }
};

// L N* S* from offset `i`; 0 when there is no letter there.
std::ptrdiff_t NameWithSpace(LexProbe& probe, std::ptrdiff_t i) {
  if (!Is(probe.At(i), kLetter)) {
    return 0;
  }
  return Skip(probe, Skip(probe, i + 1, kName), kSpace);
}

// One byte of class `first` at `i`, then `rest`*, then an optional terminator.
std::ptrdiff_t Reference(LexProbe& probe, std::ptrdiff_t i, LexClass first, LexClass rest) {
  if (!Is(probe.At(i), first)) {
    return 0;
  }
  std::ptrdiff_t j = Skip(probe, i + 1, rest);
  return Is(probe.At(j), kTerm) ? j + 1 : j;
}

// A quote, bytes up to the same quote, then S*; 0 when the closing quote is not there.
std::ptrdiff_t QuotedLiteral(LexProbe& probe, char quote) {
  std::ptrdiff_t close = probe.Find(1, quote);
  return close < 0 ? 0 : Skip(probe, close + 1, kSpace);
}

// Character data: one or more data units, else a lone '&' or '<'. '&' and '<' are data only
// where they cannot begin a reference or markup.
std::ptrdiff_t DataLength(LexProbe& probe) {
  const char* text = probe.start();
  std::ptrdiff_t available = probe.available();
  std::ptrdiff_t i = 0;
  for (;;) {
    while (i < available && !(InLexClass(text[i], kDataStop))) {
      ++i;
    }
    int c = probe.At(i);
    if (c < 0) {
      break;
    }
    int next = probe.At(i + 1);
    if (next < 0 || !BeginsDataUnit(static_cast<char>(c), static_cast<char>(next))) {
      break;
    }
    i += 2;
  }
  return i == 0 ? 1 : i;
}

LexRuleMatch MatchContent(LexProbe& probe) {
  Best best;
  int c = probe.At(0);
  if (c == '&') {
    if (probe.At(1) == '#') {
      best.Offer(LexRule::CharReference, Reference(probe, 2, kDigit, kDigit));
      best.Offer(LexRule::BadCharReference, Reference(probe, 2, kDigit, kName));
      best.Offer(LexRule::HexCharReference, Reference(probe, 2, kLetter, kName));
    }
    best.Offer(LexRule::EntityReference, Reference(probe, 1, kLetter, kName));
  } else if (c == '<') {
    int c1 = probe.At(1);
    if (c1 == '/') {
      best.Offer(LexRule::EndTagOpen, NameWithSpace(probe, 2));
      if (probe.At(2) == '>') {
        best.Offer(LexRule::EmptyEndTag, 3);
      }
    } else if (c1 == '!') {
      best.Offer(LexRule::DeclarationOpen, NameWithSpace(probe, 2));
      int c2 = probe.At(2);
      if (c2 == '>') {
        best.Offer(LexRule::EmptyDeclaration, 3);
      }
      if (c2 == '-' && probe.At(3) == '-') {
        best.Offer(LexRule::CommentOpen, 4);
      }
      if (c2 == '[') {
        best.Offer(LexRule::MarkedSection, Skip(probe, 3, kSpace));
      }
    } else if (c1 == '?') {
      std::ptrdiff_t close = probe.Find(2, '>');
      if (close >= 0) {
        best.Offer(LexRule::ProcessingInstruction, close + 1);
      }
    }
    best.Offer(LexRule::StartTagOpen, NameWithSpace(probe, 1));
    if (c1 == '>') {
      best.Offer(LexRule::EmptyStartTag, 2);
    }
  } else if (c == ']') {
    if (probe.At(1) == ']' && probe.At(2) == '>') {
      best.Offer(LexRule::MarkedSectionEnd, 3);
    }
  }
  best.Offer(LexRule::CharacterData, DataLength(probe));
  return best.match;
}

LexRuleMatch MatchTag(LexProbe& probe, bool startTag) {
  Best best;
  int c = probe.At(0);
  if (startTag && Is(c, kLetter)) {
    std::ptrdiff_t name = Skip(probe, Skip(probe, 1, kName), kSpace);
    if (probe.At(name) == '=') {
      best.Offer(LexRule::AttributeNameEquals, Skip(probe, name + 1, kSpace));
    }
    best.Offer(LexRule::AttributeNameAlone, name);
  }
  if (c == '>') {
    best.Offer(LexRule::TagClose, 1);
  }
  if (startTag && c == '/') {
    best.Offer(LexRule::NetTag, 1);
  }
  if (c == '<') {
    best.Offer(LexRule::UnclosedTag, 1);
  }
  best.Offer(c == '\n' ? LexRule::LineFeedInMarkup : LexRule::BadCharInTag, 1);
  return best.match;
}

LexRuleMatch MatchValue(LexProbe& probe) {
  Best best;
  int c = probe.At(0);
  if (Is(c, kName)) {
    best.Offer(LexRule::NameValue, Skip(probe, Skip(probe, 1, kName), kSpace));
  }
  if (c == '"' || c == '\'') {
    best.Offer(LexRule::QuotedValue, QuotedLiteral(probe, static_cast<char>(c)));
  }
  if (c >= 0 && !Is(c, kNotValue)) {
    std::ptrdiff_t i = 1;
    for (int b = probe.At(i); b >= 0 && !Is(b, kNotValue); b = probe.At(i)) {
      ++i;
    }
    best.Offer(LexRule::UnquotedValue, Skip(probe, i, kSpace));
  }
  if (c == '>') {
    best.Offer(LexRule::TagCloseForValue, 1);
  }
  best.Offer(c == '\n' ? LexRule::LineFeedInMarkup : LexRule::BadCharInTag, 1);
  return best.match;
}

LexRuleMatch MatchDeclaration(LexProbe& probe, bool comment) {
  Best best;
  int c = probe.At(0);
  if (c == '-' && probe.At(1) == '-') {
    std::ptrdiff_t close = probe.FindDoubleDash(2);
    if (close >= 0) {
      best.Offer(LexRule::DeclarationComment, Skip(probe, close + 2, kSpace));
    }
  }
  if (!comment) {
    if (c == '%') {
      best.Offer(LexRule::ParameterEntity,
                 Skip(probe, Reference(probe, 1, kLetter, kName), kSpace));
    }
    if (Is(c, kDigit)) {
      best.Offer(LexRule::DeclarationNumber, Skip(probe, Skip(probe, 1, kDigit), kSpace));
    }
    best.Offer(LexRule::DeclarationName, NameWithSpace(probe, 0));
    if (c == '"' || c == '\'') {
      best.Offer(LexRule::DeclarationLiteral, QuotedLiteral(probe, static_cast<char>(c)));
    }
  }
  if (c == '>') {
    best.Offer(LexRule::DeclarationClose, 1);
  }
  if (!comment && c == '[') {
    best.Offer(LexRule::DeclarationSubset, 1);
  }
  best.Offer(c == '\n' ? LexRule::LineFeedInMarkup : LexRule::IllegalDeclarationChar, 1);
  return best.match;
}

LexRuleMatch MatchSkip(LexProbe& probe) {
  Best best;
  if (probe.At(0) == ']') {
    if (probe.At(1) == ']' && probe.At(2) == '>') {
      best.Offer(LexRule::SkipEnd, 3);
    }
    best.Offer(LexRule::SkipBracket, 1);
  } else {
    const char* text = probe.start();
    std::size_t available = probe.available() > 0 ? static_cast<std::size_t>(probe.available()) : 0;
    const void* close = std::memchr(text, ']', available);
    if (close == nullptr) {
      probe.At(probe.available());  // the run may go on in the next chunk
      best.Offer(LexRule::SkippedRun, probe.available());
    } else {
      best.Offer(LexRule::SkippedRun, static_cast<const char*>(close) - text);
    }
  }
  return best.match;
}

}  // namespace

bool BeginsDataUnit(char stop, char next) {
  if (stop == '&') {
    return next != '#' && next != '&' && next != '<' &&
           !Is(static_cast<unsigned char>(next), kLetter);
  }
  return Is(static_cast<unsigned char>(next), kSpace | kOther) || next == '[' || next == ']';
}

const char* LexSearchCache::FindByte(const char* from, char c) {
  Entry& entry = entries_[c == '"' ? 0 : c == '\'' ? 1 : 2];
  if (entry.from != nullptr && entry.from <= from && from <= entry.found) {
    return entry.found;
  }
  const void* hit =
      from < end_ ? std::memchr(from, c, static_cast<std::size_t>(end_ - from)) : nullptr;
  entry = {from, hit == nullptr ? end_ : static_cast<const char*>(hit)};
  return entry.found;
}

const char* LexSearchCache::FindDoubleDash(const char* from) {
  Entry& entry = entries_[3];
  if (entry.from != nullptr && entry.from <= from && from <= entry.found) {
    return entry.found;
  }
  const char* found = end_;
  for (const char* p = from; p < end_;) {
    auto left = static_cast<std::size_t>(end_ - p);
    const void* hit = std::memchr(p, '-', left);
    if (hit == nullptr) {
      break;
    }
    p = static_cast<const char*>(hit);
    if (p + 1 < end_ && p[1] == '-') {
      found = p;
      break;
    }
    ++p;
  }
  entry = {from, found};
  return found;
}

std::ptrdiff_t LexProbe::Found(const char* at) {
  if (at == cache_.end()) {
    hitEnd_ = true;
    return -1;
  }
  return at - start_;
}

std::ptrdiff_t LexProbe::Find(std::ptrdiff_t from, char c) {
  return Found(cache_.FindByte(start_ + from, c));
}

std::ptrdiff_t LexProbe::FindDoubleDash(std::ptrdiff_t from) {
  return Found(cache_.FindDoubleDash(start_ + from));
}

LexRuleMatch MatchLexRule(HtmlLexMode mode, LexProbe& probe) {
  switch (mode) {
    case HtmlLexMode::ContentMode:
      return MatchContent(probe);
    case HtmlLexMode::StartTagMode:
      return MatchTag(probe, true);
    case HtmlLexMode::EndTagMode:
      return MatchTag(probe, false);
    case HtmlLexMode::ValueMode:
      return MatchValue(probe);
    case HtmlLexMode::DeclarationMode:
      return MatchDeclaration(probe, false);
    case HtmlLexMode::CommentMode:
      return MatchDeclaration(probe, true);
    case HtmlLexMode::SkipMode:
      return MatchSkip(probe);
  }
  return {};
}

}  // namespace pelmo
