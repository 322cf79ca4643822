// The lexer's patterns: which rule matches at a position, and how long its match is.
//
// Conventions in this file: a match is measured from the probe's start; every mode has a rule
// for any single byte, so a non-empty input always matches. A pattern that is still viable
// when the available bytes run out marks the probe (`hitEnd`): more input could lengthen the
// match, so the caller must wait for it unless the input has ended.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "html/lexer.h"

namespace pelmo {

// The classes of bytes the rules are written in; a byte may be in several, so a class is a
// bit and a set of classes their union.
enum class LexClass : std::uint8_t {
  Letter = 1,
  Digit = 2,
  Name = 4,        // letter, digit, '-' or '.'
  Space = 8,       // space, TAB, CR, LF
  Term = 16,       // ends a reference: ';' or LF
  Other = 32,      // none of the above, no markup punctuation
  NotValue = 64,   // ends an unquoted value: space, TAB, LF, '"', '>'
  DataStop = 128,  // may begin markup or a reference: '<', '&'
};

constexpr LexClass operator|(LexClass a, LexClass b) {
  return static_cast<LexClass>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}

constexpr std::array<std::uint8_t, 256> MakeLexClasses() {
  std::array<std::uint8_t, 256> table{};
  constexpr std::string_view kPunctuation = "!\"#$%&'()*+,-./:;<=>?[]";
  for (int c = 0; c < 256; ++c) {
    LexClass flags{};
    auto add = [&flags](LexClass more) { flags = flags | more; };
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
      add(LexClass::Letter | LexClass::Name);
    if (c >= '0' && c <= '9')
      add(LexClass::Digit | LexClass::Name);
    if (c == '-' || c == '.')
      add(LexClass::Name);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
      add(LexClass::Space);
    if (c == ';' || c == '\n')
      add(LexClass::Term);
    if (flags == LexClass{} && kPunctuation.find(static_cast<char>(c)) == std::string_view::npos)
      add(LexClass::Other);
    if (c == ' ' || c == '\t' || c == '\n' || c == '"' || c == '>')
      add(LexClass::NotValue);
    if (c == '<' || c == '&')
      add(LexClass::DataStop);
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(flags);
  }
  return table;
}

inline constexpr std::array<std::uint8_t, 256> kLexClasses = MakeLexClasses();

// Whether byte `c` is in any of `classes`.
constexpr bool InLexClass(char c, LexClass classes) {
  return (kLexClasses[static_cast<unsigned char>(c)] & static_cast<std::uint8_t>(classes)) != 0;
}

// The rules, by what they match. The value is the rule's priority within its mode: on equal
// length the lower one wins, so the values must stay as they are. Content mode has 1 to 15,
// tags and attribute values 16 to 25, declarations, comments and skipped subsets 26 to 36.
enum class LexRule : std::uint8_t {
  None = 0,
  CharReference = 1,           // "&#" digits
  BadCharReference = 2,        // "&#" a digit, then name characters
  HexCharReference = 3,        // "&#" a letter: hexadecimal or named forms
  EntityReference = 4,         // '&' a name
  EndTagOpen = 5,              // "</" a name
  EmptyEndTag = 6,             // "</>"
  DeclarationOpen = 7,         // "<!" a name
  EmptyDeclaration = 8,        // "<!>"
  CommentOpen = 9,             // "<!--"
  MarkedSection = 10,          // "<!["
  MarkedSectionEnd = 11,       // "]]>" with no section open
  ProcessingInstruction = 12,  // "<?" up to '>'
  StartTagOpen = 13,           // '<' a name
  EmptyStartTag = 14,          // "<>"
  CharacterData = 15,
  AttributeNameEquals = 16,     // a name, then '='
  AttributeNameAlone = 17,      // a name without '='
  NameValue = 18,               // a value of name characters
  QuotedValue = 19,             // a value in quotes
  UnquotedValue = 20,           // a value of other bytes, which draws an error
  TagCloseForValue = 21,        // '>' where a value was due
  TagClose = 22,                // '>'
  NetTag = 23,                  // '/' in a start tag
  UnclosedTag = 24,             // '<' inside a tag
  BadCharInTag = 25,            // any other byte inside a tag
  DeclarationComment = 26,      // "--" up to the next "--"
  ParameterEntity = 27,         // '%' a name
  DeclarationNumber = 28,       // digits
  DeclarationName = 29,         // a name
  DeclarationLiteral = 30,      // a quoted literal
  DeclarationClose = 31,        // '>'
  DeclarationSubset = 32,       // '['
  IllegalDeclarationChar = 33,  // any other byte inside a declaration
  SkipEnd = 34,                 // "]]>" ends a skipped subset
  SkipBracket = 35,             // a lone ']'
  SkippedRun = 36,              // bytes up to the next ']'
  LineFeedInMarkup = 37,        // a line feed inside a tag or declaration
};

// Which action family runs a rule; one per group of modes.
constexpr bool IsContentRule(LexRule rule) {
  return rule >= LexRule::CharReference && rule <= LexRule::CharacterData;
}
constexpr bool IsTagRule(LexRule rule) {
  return rule >= LexRule::AttributeNameEquals && rule <= LexRule::BadCharInTag;
}
constexpr bool IsDeclarationRule(LexRule rule) {
  return rule >= LexRule::DeclarationComment && rule <= LexRule::SkippedRun;
}

// Whether a quoted value draws the missing end-quote warning: its second-to-last byte is '='
// and it holds a '>', the mark of a quote left open that swallowed text up to the next
// attribute's '="'. `literal` is the whole match, quotes and trailing white space included.
constexpr bool DrawsMissingEndQuoteWarning(std::string_view literal) {
  return literal.size() > 2 && literal[literal.size() - 2] == '=' &&
         literal.find('>') != std::string_view::npos;
}

// Remembers the last forward search for each searched pattern, so that repeated searches from
// later positions (an unclosed quote retried at every byte) stay linear.
// Fast path: LexSearchCache (docs/fast_paths.md).
class LexSearchCache {
 public:
  explicit LexSearchCache(const char* end) : end_(end) {}
  // First position at or after `from` holding `c` ('"', '\'' or '>'), or end.
  const char* FindByte(const char* from, char c);
  // First position at or after `from` where "--" begins, or end.
  const char* FindDoubleDash(const char* from);
  const char* end() const { return end_; }

 private:
  struct Entry {
    const char* from = nullptr;
    const char* found = nullptr;
  };
  const char* end_;
  std::array<Entry, 4> entries_{};
};

class LexProbe {
 public:
  LexProbe(const char* start, LexSearchCache& cache)
      : start_(start), available_(cache.end() - start), cache_(cache) {}

  // The byte at offset `i`, or -1 when it is not available yet.
  int At(std::ptrdiff_t i) {
    if (i >= available_) {
      hitEnd_ = true;
      return -1;
    }
    return static_cast<unsigned char>(start_[i]);
  }
  // Offset of the next `c` at or after offset `from`, or -1 when none is available yet.
  std::ptrdiff_t Find(std::ptrdiff_t from, char c);
  std::ptrdiff_t FindDoubleDash(std::ptrdiff_t from);

  bool hitEnd() const { return hitEnd_; }
  const char* start() const { return start_; }
  std::ptrdiff_t available() const { return available_; }

 private:
  std::ptrdiff_t Found(const char* at);

  const char* start_;
  std::ptrdiff_t available_;
  LexSearchCache& cache_;
  bool hitEnd_ = false;
};

// Whether a '<' or '&' (`stop`) followed by `next` is character data all the same: a '&'
// that begins no reference, or a '<' that begins no markup.
bool BeginsDataUnit(char stop, char next);

struct LexRuleMatch {
  LexRule rule = LexRule::None;
  int length = 0;
};

// The winning rule and its length in `mode` at the probe's start: longest match, the lower
// rule on equal length. The actions are in lexer.cpp.
LexRuleMatch MatchLexRule(HtmlLexMode mode, LexProbe& probe);

}  // namespace pelmo
