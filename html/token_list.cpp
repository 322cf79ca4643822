#include "html/token_list.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "html/vocabulary.h"

namespace pelmo {
namespace {

// The C library's isspace in the "C" locale; bytes of 0x80 and above are never space.
bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view View(HtmlSpan span) {
  return span.text == nullptr ? std::string_view()
                              : std::string_view(span.text, static_cast<std::size_t>(span.length));
}

// A quoted value loses its first byte and its last; a lone quote leaves nothing.
std::string_view Unquoted(std::string_view value) {
  if (value.empty() || (value[0] != '"' && value[0] != '\''))
    return value;
  return value.size() < 2 ? std::string_view() : value.substr(1, value.size() - 2);
}

}  // namespace

HtmlTokenList::HtmlTokenList(const char* text, int length) : HtmlTokenizer(text, length) {}

// Every token made is released with its payload, one after another, then the storage.
HtmlTokenList::~HtmlTokenList() {
  head = nullptr;
  tail = nullptr;
  free_ = nullptr;
  std::allocator<HtmlToken> allocator;
  for (const TokenChunk& chunk : chunks_) {
    const bool last = &chunk == &chunks_.back();
    std::destroy(chunk.tokens, last ? chunkNext_ : chunk.tokens + chunk.capacity);
    allocator.deallocate(chunk.tokens, chunk.capacity);
  }
}

std::uint16_t HtmlTokenList::MapCharacter(std::uint16_t code) {
  return code;
}

HtmlToken* HtmlTokenList::NewToken() {
  if (free_ != nullptr) {
    HtmlToken* token = free_;
    free_ = token->next;
    return token;
  }
  if (chunkNext_ == chunkEnd_)
    AddChunk();
  return std::construct_at(chunkNext_++);
}

void HtmlTokenList::AddChunk() {
  // A page has about one token per six bytes; the first chunk is sized for that, later
  // ones double, so that a page needs one or two allocations.
  const std::size_t size =
      chunks_.empty() ? std::clamp<std::size_t>(static_cast<std::size_t>(length_) / 6, 16, 4096)
                      : std::min<std::size_t>(chunks_.back().capacity * 2, 65536);
  chunks_.reserve(chunks_.size() + 1);
  HtmlToken* tokens = std::allocator<HtmlToken>().allocate(size);
  chunks_.push_back({tokens, size});
  chunkNext_ = tokens;
  chunkEnd_ = tokens + size;
}

void HtmlTokenList::AppendToken(HtmlTokenKind kind) {
  HtmlToken* token = NewToken();
  token->kind = kind;
  token->element = -1;
  token->next = nullptr;
  token->prev = tail;
  if (tail != nullptr) {
    tail->next = token;
  } else {
    head = token;
  }
  tail = token;
}

void HtmlTokenList::RemoveToken(HtmlToken* token) {
  if (token->prev != nullptr) {
    token->prev->next = token->next;
  } else {
    head = token->next;
  }
  if (token->next != nullptr) {
    token->next->prev = token->prev;
  } else {
    tail = token->prev;
  }
  token->attributes.reset();
  std::string().swap(token->text.chars);
  token->element = -1;
  token->prev = nullptr;
  token->next = free_;
  free_ = token;
}

HtmlText& HtmlTokenList::TailText() {
  if (tail == nullptr || tail->kind != HtmlTokenKind::Text)
    AppendToken(HtmlTokenKind::Text);
  return tail->text;
}

void HtmlTokenList::OnStartTag(const HtmlStartTagEvent& tag) {
  AppendToken(HtmlTokenKind::StartTag);
  int element = FindElement(View(tag.name).substr(tag.name.length > 0 ? 1 : 0));
  if (element == -1) {
    // Unknown elements leave no trace; text on both sides joins into one token.
    RemoveToken(tail);
    return;
  }
  std::unique_ptr<HtmlAttributeList> list = attributeStore_.Make();
  list->element = element;
  list->items.reserve(static_cast<std::size_t>(tag.attributeCount));
  for (int k = 0; k < tag.attributeCount; ++k) {
    auto at = static_cast<std::size_t>(k);
    int attribute = FindAttribute(View(tag.attributeNames[at]));
    std::string_view value = Unquoted(View(tag.attributeValues[at]));
    list->items.push_back(InterpretAttribute(list->element, attribute, value, FindKeyword(value)));
  }
  tail->attributes = std::move(list);
}

void HtmlTokenList::OnEndTag(HtmlSpan name) {
  AppendToken(HtmlTokenKind::EndTag);
  HtmlToken* end = tail;
  end->element = FindElement(View(name).substr(name.length > 1 ? 2 : 0));
  if (end->element == -1) {
    RemoveToken(end);
    return;
  }
  HtmlToken* before = end->prev;
  if (before == nullptr || before->kind != HtmlTokenKind::Text)
    return;
  // Blanks before an end tag are layout, not content; text left empty (whitespace only, or
  // a reference that decoded to nothing) goes altogether.
  std::string& chars = before->text.chars;
  std::size_t length = chars.size();
  while (length > 0 && IsCSpace(chars[length - 1]))
    --length;
  chars.resize(length);
  if (length == 0)
    RemoveToken(before);
}

void HtmlTokenList::OnText(HtmlSpan span) {
  HtmlText& text = TailText();
  std::string_view bytes = View(span);
  // Text right after a start tag loses its leading blanks, except inside pre.
  const HtmlToken* before = tail->prev;
  if (text.chars.empty() && before != nullptr && before->kind == HtmlTokenKind::StartTag &&
      !(before->attributes != nullptr && before->attributes->element == kElementPre)) {
    std::size_t skip = 0;
    while (skip < bytes.size() && IsCSpace(bytes[skip]))
      ++skip;
    bytes.remove_prefix(skip);
  }
  text.chars.append(bytes);
  if (text.chars.empty())
    RemoveToken(tail);
}

void HtmlTokenList::OnReference(HtmlSpan reference) {
  HtmlText& text = TailText();
  std::uint16_t character = MapCharacter(DecodeReference(View(reference)));
  auto byte = static_cast<char>(character & 0xFFu);
  if (byte != 0)
    text.chars.push_back(byte);
}

}  // namespace pelmo
