// The HTML lexer: splits page text into the lexical tokens of SGML-style markup (character
// data, tags with their attributes, references, declarations, comments, processing
// instructions) and hands them to three callbacks. It decodes nothing and knows no element
// or attribute names; it only recognises the shapes of markup.
//
// Scanning is longest match: in each mode a fixed list of rules is tried, the longest match
// wins and on equal length the rule listed first wins. Tag and declaration tokens are
// collected in an accumulator and delivered together when the construct ends; data,
// references and processing instructions are delivered at once as views into the text.
// Malformed markup never stops the lexer: it reports a message event and goes on.
//
// Text may arrive in several chunks. A token that is unfinished at the end of a chunk is kept
// in a pending buffer and rescanned when the next chunk arrives; an empty chunk marks the end
// of the input, after which the longest match found so far is taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pelmo {

// The numbers are what callbacks receive; they are fixed.
enum class HtmlLexKind : std::uint8_t {
  Data = 1,
  StartTagOpen = 2,
  EndTagOpen = 3,
  TagClose = 4,
  AttributeName = 5,
  NameToken = 6,
  Number = 7,
  NameValue = 8,
  LiteralValue = 9,
  EntityReference = 10,
  CharReference = 11,
  ReferenceEnd = 12,
  ProcessingInstruction = 13,
  DeclarationOpen = 14,
  Comment = 15,
  Limitation = 16,
  Error = 17,
  Warning = 18,
};

enum class HtmlLexMode : std::uint8_t {
  ContentMode,
  StartTagMode,
  ValueMode,
  EndTagMode,
  DeclarationMode,
  CommentMode,
  SkipMode,
};

class HtmlLexer;
enum class LexRule : std::uint8_t;     // html/lexer_rules.h
enum class LexMessage : std::uint8_t;  // html/lexer.cpp

// One event: `count` tokens in order. Texts are not NUL-terminated, may be null when the
// length is 0, and are valid only during the call. The return value is ignored.
using HtmlLexCallback = int (*)(void* user, HtmlLexer& lexer, int count, const HtmlLexKind* kinds,
                                const char* const* texts, const int* lengths);

// Where events go: content (data, references, tags), declarations and processing
// instructions, and messages. A null callback drops its events.
struct HtmlLexSinks {
  HtmlLexCallback content = nullptr;
  void* contentUser = nullptr;
  HtmlLexCallback declaration = nullptr;
  void* declarationUser = nullptr;
  HtmlLexCallback message = nullptr;
  void* messageUser = nullptr;
};

class HtmlLexer {
 public:
  HtmlLexer() = default;
  HtmlLexer(const HtmlLexer&) = delete;
  HtmlLexer& operator=(const HtmlLexer&) = delete;

  // With normalize on, accumulated token texts lose trailing whitespace (never below one
  // byte) and tag, attribute and declaration names are lowered. Returns the previous flag.
  bool SetNormalize(bool on);

  // Plain tags, start tags with plain attributes and plain character data are read in one
  // step each, unless this is turned off; the events are the rules' own either way, which
  // tests check by comparing both. Returns the previous flag.
  bool SetShortcuts(bool on);

  // Scans `length` bytes of `text`; a length of 0 marks the end of the input. Bytes of an
  // unfinished token are kept until the next call. The text is only read during the call.
  void Feed(const char* text, int length, const HtmlLexSinks& sinks);

  HtmlLexMode mode() const { return mode_; }

 private:
  void Scan(const char* begin, const char* end, bool atEnd, const HtmlLexSinks& sinks);
  // Delivers a whole "<name>" or "</name>" at `start` in one step; returns its length, or 0
  // when the bytes there are anything else.
  int ScanPlainTag(const char* start, const char* end, const HtmlLexSinks& sinks);
  int ScanTagWithAttributes(const char* start, const char* nameEnd, const char* end,
                            const HtmlLexSinks& sinks);
  // Delivers character data at `start` in one step when no rule but data can match there;
  // returns its length, or 0 when the rules must decide.
  int ScanPlainData(const char* start, const char* end, const HtmlLexSinks& sinks);
  // Runs the action of `rule` for the `length` bytes at `start`; returns the bytes consumed.
  int Act(LexRule rule, const char* start, int length, const HtmlLexSinks& sinks);
  int ActContent(LexRule rule, const char* start, int length, const HtmlLexSinks& sinks);
  void ActTag(LexRule rule, const char* start, int length, const HtmlLexSinks& sinks);
  void ActDeclaration(LexRule rule, const char* start, int length, const HtmlLexSinks& sinks);

  void Deliver(HtmlLexCallback callback, void* user);
  void Report(LexMessage message, const char* start, int length, const HtmlLexSinks& sinks);
  void Append(HtmlLexKind kind, const char* text, int length, bool lowered);
  void AppendEmpty(HtmlLexKind kind);
  void Emit(HtmlLexCallback callback, void* user, int count, const HtmlLexKind* kinds,
            const char* const* texts, const int* lengths);

  HtmlLexMode mode_ = HtmlLexMode::ContentMode;
  bool normalize_ = false;
  bool shortcuts_ = true;

  // The accumulator: the tokens of the tag or declaration being read, in the parallel arrays
  // that callbacks receive. A text points into the bytes being scanned while it can; it is
  // copied into `copies_` when it must change (lowered) or outlive the chunk. A token without
  // text has a null pointer.
  std::vector<HtmlLexKind> accKinds_;
  std::vector<const char*> accTexts_;
  std::vector<int> accLengths_;
  std::size_t accFirstView_ = 0;  // tokens before this one point into `copies_`

  // Bump storage for the copies; emptied, keeping one block, at each delivery.
  class CopyArena {
   public:
    char* Allocate(std::size_t size);
    // Inline because most tags copy nothing, and then there is nothing to do.
    void Reset() {
      if (used_ != 0 || blocks_.size() > 1)
        Release();
    }

   private:
    void Release();

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::size_t> sizes_;
    std::size_t used_ = 0;  // in the last block
  };
  CopyArena copies_;
  void KeepAccumulatedTexts(const char* begin, const char* end);

  std::string pending_;  // bytes of a token left unfinished by the previous chunk
};

}  // namespace pelmo
