#include "html/lexer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <string_view>

#include "base/ascii.h"
#include "html/lexer_rules.h"

// Conventions in this file. The rules (`LexRule`, html/lexer_rules.h) are matched in
// lexer_rules.cpp, longest match first and the lower rule on equal length; here each rule's
// action runs, one switch per group of modes.
//
// The accumulator holds the tokens of the tag or declaration being read; it is delivered, and
// emptied, when the construct ends. Its texts are views of the scanned bytes until they must be
// lowered or outlive the chunk, and copies after. Data, references, processing instructions
// and messages are delivered at once, as views into the scanned bytes.

namespace pelmo {

// Positions in kMessages.
enum class LexMessage : std::uint8_t {
  BadCharReference,
  NamedCharReference,
  EmptyEndTag,
  MarkedSection,
  UnmatchedMarkedSectionEnd,
  EmptyStartTag,
  ValueNeedsQuotes,
  TagCloseForValue,
  NetTag,
  UnclosedTag,
  BadCharInTag,
  ParameterEntity,
  DeclarationSubset,
  IllegalDeclarationChar,
  SubsetSkipping,
  MissingEndQuote,
};

namespace {

struct MessageText {
  HtmlLexKind kind;
  std::string_view text;
};

constexpr std::array<MessageText, 16> kMessages{{
    {HtmlLexKind::Error, "bad character in character reference"},
    {HtmlLexKind::Limitation, "named character references are not supported"},
    {HtmlLexKind::Limitation, "empty end tag not supported"},
    {HtmlLexKind::Limitation, "marked sections not supported"},
    {HtmlLexKind::Error, "unmatched marked sections end"},
    {HtmlLexKind::Limitation, "empty start tag not supported"},
    {HtmlLexKind::Error, "attribute value needs quotes"},
    {HtmlLexKind::Error, "Tag close found where attribute value expected"},
    {HtmlLexKind::Limitation, "NET tags not supported"},
    {HtmlLexKind::Limitation, "Unclosed tags not supported"},
    {HtmlLexKind::Error, "bad character in tag"},
    {HtmlLexKind::Limitation, "parameter entity reference not supported"},
    {HtmlLexKind::Limitation, "declaration subset not supported"},
    {HtmlLexKind::Error, "illegal character in markup declaration"},
    {HtmlLexKind::Limitation, "declaration subset: skipping"},
    {HtmlLexKind::Warning, "missing attribute end-quote?"},
}};

// The rules' byte classes, by the names the one-step readers use.
bool IsAsciiLetter(char c) {
  return InLexClass(c, LexClass::Letter);
}

bool IsNameChar(char c) {
  return InLexClass(c, LexClass::Name);
}

bool IsLexSpace(char c) {
  return InLexClass(c, LexClass::Space);
}

bool IsNotValueByte(char c) {
  return InLexClass(c, LexClass::NotValue);
}

}  // namespace

bool HtmlLexer::SetNormalize(bool on) {
  bool previous = normalize_;
  normalize_ = on;
  return previous;
}

bool HtmlLexer::SetShortcuts(bool on) {
  bool previous = shortcuts_;
  shortcuts_ = on;
  return previous;
}

void HtmlLexer::Feed(const char* text, int length, const HtmlLexSinks& sinks) {
  bool atEnd = length <= 0;
  if (pending_.empty()) {
    if (!atEnd) {
      Scan(text, text + length, false, sinks);
    }
    return;
  }
  // The unfinished token is rescanned from its start together with the new bytes.
  std::string joined = std::move(pending_);
  pending_.clear();
  if (!atEnd) {
    joined.append(text, static_cast<std::size_t>(length));
  }
  Scan(joined.data(), joined.data() + joined.size(), atEnd, sinks);
}

void HtmlLexer::Scan(const char* begin, const char* end, bool atEnd, const HtmlLexSinks& sinks) {
  LexSearchCache cache(end);
  const char* p = begin;
  while (p < end) {
    if (mode_ == HtmlLexMode::ContentMode && shortcuts_) {
      int plain = *p == '<' ? ScanPlainTag(p, end, sinks) : ScanPlainData(p, end, sinks);
      if (plain > 0) {
        p += plain;
        continue;
      }
    }
    LexProbe probe(p, cache);
    LexRuleMatch match = MatchLexRule(mode_, probe);
    if (probe.hitEnd() && !atEnd) {
      KeepAccumulatedTexts(begin, end);
      pending_.assign(p, end);
      return;
    }
    p += Act(match.rule, p, match.length, sinks);
  }
  KeepAccumulatedTexts(begin, end);
}

// Most tags on a page have no attributes. For them the rules give a tag open (rule 5 or 13,
// with no whitespace to take) and a close (rule 22); this produces the same event without the
// detour through the accumulator.
// Fast path: ScanPlainTag (docs/fast_paths.md).
int HtmlLexer::ScanPlainTag(const char* start, const char* end, const HtmlLexSinks& sinks) {
  const char* name = start + 1;
  bool endTag = name < end && *name == '/';
  if (endTag) {
    ++name;
  }
  if (name >= end || !IsAsciiLetter(*name)) {
    return 0;
  }
  const char* close = name + 1;
  bool upper = *name <= 'Z';
  for (; close < end && IsNameChar(*close); ++close) {
    upper |= IsAsciiUpper(*close);
  }
  if (close < end && IsLexSpace(*close) && !endTag && !upper && normalize_) {
    return ScanTagWithAttributes(start, close, end, sinks);
  }
  if (close >= end || *close != '>') {
    return 0;
  }

  auto openLength = static_cast<int>(close - start);
  const char* openText = start;
  if (normalize_ && upper) {
    char* copy = copies_.Allocate(static_cast<std::size_t>(openLength));
    std::transform(start, close, copy, LowerAscii);
    openText = copy;
  }
  const std::array<HtmlLexKind, 2> kinds{
      endTag ? HtmlLexKind::EndTagOpen : HtmlLexKind::StartTagOpen, HtmlLexKind::TagClose};
  const std::array<const char*, 2> texts{openText, close};
  const std::array<int, 2> lengths{openLength, 1};
  Emit(sinks.content, sinks.contentUser, 2, kinds.data(), texts.data(), lengths.data());
  copies_.Reset();
  return openLength + 1;
}

namespace {

// The pieces of a start tag whose attributes all have plain values.
struct PlainTagPieces {
  static constexpr std::size_t kMaxPieces = 2 + 2 * 8;
  std::array<HtmlLexKind, kMaxPieces> kinds;
  std::array<const char*, kMaxPieces> texts;
  std::array<int, kMaxPieces> lengths;
  std::size_t count = 0;

  bool Add(HtmlLexKind kind, const char* begin, const char* end) {
    if (count == kMaxPieces) {
      return false;
    }
    kinds[count] = kind;
    texts[count] = begin;
    lengths[count] = static_cast<int>(end - begin);
    ++count;
    return true;
  }
};

const char* SkipLexSpace(const char* p, const char* end) {
  while (p < end && IsLexSpace(*p)) {
    ++p;
  }
  return p;
}

const char* SkipNameChars(const char* p, const char* end) {
  while (p < end && IsNameChar(*p)) {
    ++p;
  }
  return p;
}

// Where the unquoted-value rule's match at `value` ends, trailing white space included; `end`
// when it runs to the end of the text, where the rules would wait for more.
const char* UnquotedValueEnd(const char* value, const char* end) {
  const char* p = value + 1;
  while (p < end && !IsNotValueByte(*p)) {
    ++p;
  }
  return p < end ? SkipLexSpace(p, end) : end;
}

// The end of an attribute value at `value`, as the rules read it, with its kind; null when
// the rules would take another turn there (a message, a missing quote, the end of the text).
const char* PlainValueEnd(const char* value, const char* end, HtmlLexKind& kind,
                          const char*& next) {
  const char c = *value;
  if (c == '"' || c == '\'') {
    const void* quote = std::memchr(value + 1, c, static_cast<std::size_t>(end - value - 1));
    if (quote == nullptr) {
      return nullptr;
    }
    const char* close = static_cast<const char*>(quote) + 1;
    next = SkipLexSpace(close, end);
    // A single quote does not end an unquoted value, so that rule reads on from it too and
    // wins where it reads further.
    if (c == '\'' && UnquotedValueEnd(value, end) > next) {
      return nullptr;
    }
    // A literal ending in '=' that holds '>' draws the missing end-quote warning.
    if (DrawsMissingEndQuoteWarning({value, static_cast<std::size_t>(next - value)})) {
      return nullptr;
    }
    kind = HtmlLexKind::LiteralValue;
    return close;
  }
  if (!IsNameChar(c)) {
    return nullptr;
  }
  // A name value, unless the unquoted-value rule reads further (and reports it).
  const char* nameEnd = SkipNameChars(value + 1, end);
  next = SkipLexSpace(nameEnd, end);
  if (next >= end || UnquotedValueEnd(value, end) > next) {
    return nullptr;
  }
  kind = HtmlLexKind::NameValue;
  return nameEnd;
}

}  // namespace

// A start tag with attributes in the usual form, name=value with a name or quoted value and
// lower-case names, read in one step into the event the rules would build piece by piece.
// Returns its length, or 0 (having delivered nothing) for anything else.
// Fast path: ScanTagWithAttributes (docs/fast_paths.md).
int HtmlLexer::ScanTagWithAttributes(const char* start, const char* nameEnd, const char* end,
                                     const HtmlLexSinks& sinks) {
  PlainTagPieces pieces;
  pieces.Add(HtmlLexKind::StartTagOpen, start, nameEnd);
  const char* p = SkipLexSpace(nameEnd, end);
  while (p < end && *p != '>') {
    if (!IsAsciiLetter(*p)) {
      return 0;
    }
    const char* name = p;
    const char* afterName = SkipNameChars(p + 1, end);
    if (std::any_of(name, afterName, IsAsciiUpper)) {
      return 0;
    }
    const char* equals = SkipLexSpace(afterName, end);
    if (equals >= end || *equals != '=') {
      return 0;
    }
    const char* value = SkipLexSpace(equals + 1, end);
    if (value >= end) {
      return 0;
    }
    HtmlLexKind kind = HtmlLexKind::NameValue;
    const char* valueEnd = PlainValueEnd(value, end, kind, p);
    if (valueEnd == nullptr || !pieces.Add(HtmlLexKind::AttributeName, name, afterName) ||
        !pieces.Add(kind, value, valueEnd)) {
      return 0;
    }
  }
  if (p >= end || !pieces.Add(HtmlLexKind::TagClose, p, p + 1)) {
    return 0;
  }
  Emit(sinks.content, sinks.contentUser, static_cast<int>(pieces.count), pieces.kinds.data(),
       pieces.texts.data(), pieces.lengths.data());
  return static_cast<int>(p + 1 - start);
}

// Character data that begins with a byte that cannot begin anything else and ends before
// markup: the only rule that matches is data, and its match ends at the first '<' or '&' that
// begins no data unit. Anything less plain goes through the rules.
// Fast path: ScanPlainData (docs/fast_paths.md).
int HtmlLexer::ScanPlainData(const char* start, const char* end, const HtmlLexSinks& sinks) {
  if (*start == '&' || *start == ']') {
    return 0;
  }
  const char* stop = start + 1;
  while (stop < end && !InLexClass(*stop, LexClass::DataStop)) {
    ++stop;
  }
  if (end - stop < 2 || BeginsDataUnit(stop[0], stop[1])) {
    return 0;
  }
  auto length = static_cast<int>(stop - start);
  const HtmlLexKind kind = HtmlLexKind::Data;
  Emit(sinks.content, sinks.contentUser, 1, &kind, &start, &length);
  return length;
}

int HtmlLexer::Act(LexRule rule, const char* start, int length, const HtmlLexSinks& sinks) {
  if (IsContentRule(rule)) {
    return ActContent(rule, start, length, sinks);
  }
  if (IsTagRule(rule)) {
    ActTag(rule, start, length, sinks);
  } else if (IsDeclarationRule(rule)) {
    ActDeclaration(rule, start, length, sinks);
  }
  return length;  // a line feed inside markup is skipped silently
}

int HtmlLexer::ActContent(LexRule rule, const char* start, int length, const HtmlLexSinks& sinks) {
  switch (rule) {
    case LexRule::CharReference:
    case LexRule::EntityReference: {
      HtmlLexKind kind = rule == LexRule::CharReference ? HtmlLexKind::CharReference
                                                        : HtmlLexKind::EntityReference;
      char last = start[length - 1];
      bool terminated = last == ';' || last == '\n';
      const std::array<HtmlLexKind, 2> kinds{kind, HtmlLexKind::ReferenceEnd};
      const std::array<const char*, 2> texts{start, start + length - 1};
      const std::array<int, 2> lengths{terminated ? length - 1 : length, 1};
      Emit(sinks.content, sinks.contentUser, terminated ? 2 : 1, kinds.data(), texts.data(),
           lengths.data());
      break;
    }
    case LexRule::BadCharReference:
      Report(LexMessage::BadCharReference, start, length, sinks);
      break;
    case LexRule::HexCharReference:
      Report(LexMessage::NamedCharReference, start, length, sinks);
      break;
    case LexRule::EndTagOpen:
      Append(HtmlLexKind::EndTagOpen, start, length, true);
      mode_ = HtmlLexMode::EndTagMode;
      break;
    case LexRule::EmptyEndTag:
      Report(LexMessage::EmptyEndTag, start, length, sinks);
      break;
    case LexRule::DeclarationOpen:
      Append(HtmlLexKind::DeclarationOpen, start, length, true);
      mode_ = HtmlLexMode::DeclarationMode;
      break;
    case LexRule::EmptyDeclaration:
    case LexRule::ProcessingInstruction: {
      HtmlLexKind kind = rule == LexRule::EmptyDeclaration ? HtmlLexKind::DeclarationOpen
                                                           : HtmlLexKind::ProcessingInstruction;
      Emit(sinks.declaration, sinks.declarationUser, 1, &kind, &start, &length);
      break;
    }
    case LexRule::CommentOpen:
      // Only "<!" opens the declaration; the dashes are read again as the comment.
      Append(HtmlLexKind::DeclarationOpen, start, 2, false);
      mode_ = HtmlLexMode::CommentMode;
      return 2;
    case LexRule::MarkedSection:
      Report(LexMessage::MarkedSection, start, length, sinks);
      mode_ = HtmlLexMode::SkipMode;
      break;
    case LexRule::MarkedSectionEnd:
      Report(LexMessage::UnmatchedMarkedSectionEnd, start, length, sinks);
      break;
    case LexRule::StartTagOpen:
      Append(HtmlLexKind::StartTagOpen, start, length, true);
      mode_ = HtmlLexMode::StartTagMode;
      break;
    case LexRule::EmptyStartTag:
      Report(LexMessage::EmptyStartTag, start, length, sinks);
      break;
    case LexRule::CharacterData:
    default: {
      assert(rule == LexRule::CharacterData);
      HtmlLexKind kind = HtmlLexKind::Data;
      Emit(sinks.content, sinks.contentUser, 1, &kind, &start, &length);
      break;
    }
  }
  return length;
}

void HtmlLexer::ActTag(LexRule rule, const char* start, int length, const HtmlLexSinks& sinks) {
  switch (rule) {
    case LexRule::AttributeNameEquals: {
      int nameLength = length;
      if (normalize_) {
        while (nameLength > 1 &&
               (start[nameLength - 1] == '=' || IsCSpace(start[nameLength - 1]))) {
          --nameLength;
        }
      }
      Append(HtmlLexKind::AttributeName, start, nameLength, true);
      mode_ = HtmlLexMode::ValueMode;
      break;
    }
    case LexRule::AttributeNameAlone:
      AppendEmpty(HtmlLexKind::AttributeName);
      Append(HtmlLexKind::NameToken, start, length, true);
      break;
    case LexRule::NameValue:
      Append(HtmlLexKind::NameValue, start, length, false);
      mode_ = HtmlLexMode::StartTagMode;
      break;
    case LexRule::QuotedValue:
      if (DrawsMissingEndQuoteWarning({start, static_cast<std::size_t>(length)})) {
        Report(LexMessage::MissingEndQuote, start, length, sinks);
      }
      Append(HtmlLexKind::LiteralValue, start, length, false);
      mode_ = HtmlLexMode::StartTagMode;
      break;
    case LexRule::UnquotedValue:
      Report(LexMessage::ValueNeedsQuotes, start, length, sinks);
      Append(HtmlLexKind::LiteralValue, start, length, false);
      mode_ = HtmlLexMode::StartTagMode;
      break;
    case LexRule::TagCloseForValue:
      Report(LexMessage::TagCloseForValue, start, length, sinks);
      Deliver(sinks.content, sinks.contentUser);
      mode_ = HtmlLexMode::ContentMode;
      break;
    case LexRule::TagClose:
      Append(HtmlLexKind::TagClose, start, length, false);
      Deliver(sinks.content, sinks.contentUser);
      mode_ = HtmlLexMode::ContentMode;
      break;
    case LexRule::NetTag:
    case LexRule::UnclosedTag:
      Report(rule == LexRule::NetTag ? LexMessage::NetTag : LexMessage::UnclosedTag, start, length,
             sinks);
      Deliver(sinks.content, sinks.contentUser);
      mode_ = HtmlLexMode::ContentMode;
      break;
    case LexRule::BadCharInTag:
    default:
      assert(rule == LexRule::BadCharInTag);
      Report(LexMessage::BadCharInTag, start, length, sinks);
      break;
  }
}

void HtmlLexer::ActDeclaration(LexRule rule, const char* start, int length,
                               const HtmlLexSinks& sinks) {
  switch (rule) {
    case LexRule::DeclarationComment:
      Append(HtmlLexKind::Comment, start, length, false);
      break;
    case LexRule::ParameterEntity:
      Report(LexMessage::ParameterEntity, start, length, sinks);
      break;
    case LexRule::DeclarationNumber:
      Append(HtmlLexKind::Number, start, length, false);
      break;
    case LexRule::DeclarationName:
      Append(HtmlLexKind::NameToken, start, length, true);
      break;
    case LexRule::DeclarationLiteral:
      Append(HtmlLexKind::LiteralValue, start, length, false);
      break;
    case LexRule::DeclarationClose:
      Append(HtmlLexKind::TagClose, start, length, false);
      Deliver(sinks.declaration, sinks.declarationUser);
      mode_ = HtmlLexMode::ContentMode;
      break;
    case LexRule::DeclarationSubset:
      Report(LexMessage::DeclarationSubset, start, length, sinks);
      Deliver(sinks.declaration, sinks.declarationUser);
      mode_ = HtmlLexMode::SkipMode;
      break;
    case LexRule::IllegalDeclarationChar:
      Report(LexMessage::IllegalDeclarationChar, start, length, sinks);
      break;
    case LexRule::SkipEnd:
      mode_ = HtmlLexMode::ContentMode;
      break;
    case LexRule::SkipBracket:
      mode_ = HtmlLexMode::CommentMode;
      break;
    case LexRule::SkippedRun:
    default:
      assert(rule == LexRule::SkippedRun);
      Report(LexMessage::SubsetSkipping, start, length, sinks);
      break;
  }
}

void HtmlLexer::Report(LexMessage message, const char* start, int length,
                       const HtmlLexSinks& sinks) {
  const MessageText& m = kMessages[static_cast<std::size_t>(message)];
  const std::array<HtmlLexKind, 2> kinds{m.kind, HtmlLexKind::Data};
  const std::array<const char*, 2> texts{m.text.data(), start};
  const std::array<int, 2> lengths{static_cast<int>(m.text.size()), length};
  Emit(sinks.message, sinks.messageUser, 2, kinds.data(), texts.data(), lengths.data());
}

void HtmlLexer::Append(HtmlLexKind kind, const char* text, int length, bool lowered) {
  if (normalize_) {
    while (length > 1 && IsCSpace(text[length - 1])) {
      --length;
    }
    if (lowered) {
      const char* end = text + length;
      const char* upper = std::find_if(text, end, IsAsciiUpper);
      if (upper != end) {
        char* copy = copies_.Allocate(static_cast<std::size_t>(length));
        std::transform(text, end, copy, LowerAscii);
        text = copy;
      }
    }
  }
  accKinds_.push_back(kind);
  accTexts_.push_back(text);
  accLengths_.push_back(length);
}

void HtmlLexer::AppendEmpty(HtmlLexKind kind) {
  accKinds_.push_back(kind);
  accTexts_.push_back(nullptr);
  accLengths_.push_back(0);
}

// The scanned bytes are about to go away while a construct is still open.
void HtmlLexer::KeepAccumulatedTexts(const char* begin, const char* end) {
  for (std::size_t i = accFirstView_; i < accTexts_.size(); ++i) {
    const char* text = accTexts_[i];
    if (text == nullptr || text < begin || text >= end) {
      continue;
    }
    auto length = static_cast<std::size_t>(accLengths_[i]);
    char* copy = copies_.Allocate(length);
    std::copy(text, text + length, copy);
    accTexts_[i] = copy;
  }
  accFirstView_ = accTexts_.size();
}

void HtmlLexer::Deliver(HtmlLexCallback callback, void* user) {
  Emit(callback, user, static_cast<int>(accKinds_.size()), accKinds_.data(), accTexts_.data(),
       accLengths_.data());
  accKinds_.clear();
  accTexts_.clear();
  accLengths_.clear();
  accFirstView_ = 0;
  copies_.Reset();
}

char* HtmlLexer::CopyArena::Allocate(std::size_t size) {
  if (blocks_.empty() || sizes_.back() - used_ < size) {
    std::size_t blockSize = std::max<std::size_t>(size, 512);
    blocks_.push_back(std::make_unique<char[]>(blockSize));
    sizes_.push_back(blockSize);
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  used_ += size;
  return at;
}

void HtmlLexer::CopyArena::Release() {
  if (blocks_.size() > 1) {
    blocks_.resize(1);
    sizes_.resize(1);
  }
  used_ = 0;
}

void HtmlLexer::Emit(HtmlLexCallback callback, void* user, int count, const HtmlLexKind* kinds,
                     const char* const* texts, const int* lengths) {
  if (callback != nullptr && count > 0) {
    callback(user, *this, count, kinds, texts, lengths);
  }
}

}  // namespace pelmo
