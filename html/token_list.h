// The tokenizer and the token list.
//
// HtmlTokenizer runs the lexer over a page text and hands each lexer event to one of its
// virtual handlers, which do nothing here. HtmlTokenList overrides the handlers for text,
// start tags, end tags and references and builds a doubly linked list of HtmlToken from them:
// start tags with their element code and typed attributes, end tags with their element code,
// and text with references decoded. Elements outside the vocabulary leave no token, and
// whitespace at the edges of text is trimmed so that the grammar sees meaningful text only.
// Comments, declarations, processing instructions and messages are dropped.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "html/attribute_list_store.h"
#include "html/html_token.h"
#include "html/lexer.h"

namespace pelmo {

// A view of lexer memory, not NUL-terminated, valid only during the handler call.
// Left uninitialised by default so that the fixed arrays of the event records cost nothing to
// set up; write HtmlSpan{} for an empty span.
struct HtmlSpan {
  const char* text;
  int length;
};

inline constexpr int kMaxTagAttributes = 20;
inline constexpr int kMaxDeclarationParameters = 40;

// A start tag as the lexer delivered it; further attributes than the limit are dropped.
struct HtmlStartTagEvent {
  HtmlSpan name{};  // '<' and the lowered element name
  int attributeCount = 0;
  // Only the first `attributeCount` entries are set.
  std::array<HtmlSpan, kMaxTagAttributes> attributeNames;
  std::array<HtmlSpan, kMaxTagAttributes> attributeValues;
  std::array<HtmlLexKind, kMaxTagAttributes> valueKinds;
};

struct HtmlDeclarationEvent {
  HtmlSpan open{};  // "<!" and the declaration name, "<!" alone, or "<!>"
  int parameterCount = 0;
  // Only the first `parameterCount` entries are set.
  std::array<HtmlSpan, kMaxDeclarationParameters> parameters;
  std::array<HtmlLexKind, kMaxDeclarationParameters> parameterKinds;
};

struct HtmlMessageEvent {
  HtmlLexKind kind = HtmlLexKind::Error;  // Limitation, Error or Warning
  HtmlSpan message{};
  HtmlSpan source{};  // the text that raised it
};

class HtmlTokenizer {
 public:
  // `text` is not owned and must stay alive until Run returns.
  HtmlTokenizer(const char* text, int length);
  HtmlTokenizer(const HtmlTokenizer&) = delete;
  HtmlTokenizer& operator=(const HtmlTokenizer&) = delete;
  virtual ~HtmlTokenizer();

  // Lexes the whole text in one call with normalize on. No end of input is signalled, so a
  // trailing token that could still grow (data, an unfinished tag) is not delivered.
  virtual void Run();

  virtual void OnText(HtmlSpan text);
  virtual void OnStartTag(const HtmlStartTagEvent& tag);
  virtual void OnEndTag(HtmlSpan name);
  virtual void OnReference(HtmlSpan reference);
  virtual void OnProcessingInstruction(HtmlSpan instruction);
  virtual void OnDeclaration(const HtmlDeclarationEvent& declaration);
  virtual void OnMessage(const HtmlMessageEvent& message);

 protected:
  // The one lexer callback; `user` is the tokenizer. Routes the event by its first token.
  static int DispatchLexEvent(void* user, HtmlLexer& lexer, int count, const HtmlLexKind* kinds,
                              const char* const* texts, const int* lengths);

  const char* text_;
  int length_;
};

class HtmlTokenList : public HtmlTokenizer {
 public:
  HtmlTokenList(const char* text, int length);
  ~HtmlTokenList() override;

  void OnText(HtmlSpan text) override;
  void OnStartTag(const HtmlStartTagEvent& tag) override;
  void OnEndTag(HtmlSpan name) override;
  void OnReference(HtmlSpan reference) override;

  // Maps a decoded reference to the character appended to text; the identity here.
  virtual std::uint16_t MapCharacter(std::uint16_t code);
  // Appends a token at the tail with an empty payload: no attribute list, element -1, or
  // an empty text.
  virtual void AppendToken(HtmlTokenKind kind);

  // First and last token; both null for an empty list. The list owns every token.
  HtmlToken* head = nullptr;
  HtmlToken* tail = nullptr;

 protected:
  // Unlinks `token` and releases its payload; constant time.
  void RemoveToken(HtmlToken* token);

 private:
  HtmlText& TailText();

  HtmlToken* NewToken();
  // Whether `token` was made in one of the chunks; for debug checks.
  bool MadeHere(const HtmlToken* token) const;
  // Kept out of NewToken, which runs for every token, so that it stays small enough to inline.
  [[gnu::noinline]] void AddChunk();

  // Tokens live in chunks that never move; released tokens are chained through `next` and
  // reused, so that a page of dropped tags does not grow the store.
  // Declared before the tokens so that it outlives the lists they own.
  AttributeListStore attributeStore_;
  // Storage for `capacity` tokens, made one by one from the front. The destructor destroys
  // the tokens made and releases the storage.
  struct TokenChunk {
    HtmlToken* tokens;
    std::size_t capacity;
  };
  std::vector<TokenChunk> chunks_;
  HtmlToken* chunkNext_ = nullptr;  // the next token to make in the last chunk
  HtmlToken* chunkEnd_ = nullptr;
  HtmlToken* free_ = nullptr;
};

}  // namespace pelmo
