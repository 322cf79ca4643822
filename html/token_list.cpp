#include "html/token_list.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <string_view>

#include "base/ascii.h"
#include "html/vocabulary.h"

namespace pelmo {
namespace {

std::string_view View(HtmlSpan span) {
  return span.text == nullptr ? std::string_view()
                              : std::string_view(span.text, static_cast<std::size_t>(span.length));
}

// A quoted value loses its first byte and its last; a lone quote leaves nothing.
std::string_view Unquoted(std::string_view value) {
  if (value.empty() || (value[0] != '"' && value[0] != '\'')) {
    return value;
  }
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
    // A released token is unlinked and has no payload left.
    assert(token->prev == nullptr && token->attributes == nullptr && token->text.chars.empty());
    free_ = token->next;
    return token;
  }
  if (chunkNext_ == chunkEnd_) {
    AddChunk();
  }
  // Tokens are made from the front of the last chunk, which ends at `chunkEnd_`.
  assert(chunkNext_ >= chunks_.back().tokens && chunkNext_ < chunkEnd_ &&
         chunkEnd_ == chunks_.back().tokens + chunks_.back().capacity);
  return std::construct_at(chunkNext_++);
}

void HtmlTokenList::AddChunk() {
  assert(chunkNext_ == chunkEnd_);
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
  assert((head == nullptr) == (tail == nullptr));
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
  assert(MadeHere(token));
  // Only a linked token is removed: the list's ends are exactly the tokens without neighbours.
  assert((token->prev == nullptr) == (head == token) &&
         (token->next == nullptr) == (tail == token));
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

bool HtmlTokenList::MadeHere(const HtmlToken* token) const {
  return std::any_of(chunks_.begin(), chunks_.end(), [&](const TokenChunk& chunk) {
    const bool last = &chunk == &chunks_.back();
    return token >= chunk.tokens && token < (last ? chunkNext_ : chunk.tokens + chunk.capacity);
  });
}

HtmlText& HtmlTokenList::TailText() {
  if (tail == nullptr || tail->kind != HtmlTokenKind::Text) {
    AppendToken(HtmlTokenKind::Text);
  }
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
  if (before == nullptr || before->kind != HtmlTokenKind::Text) {
    return;
  }
  // Blanks before an end tag are layout, not content; text left empty (whitespace only, or
  // a reference that decoded to nothing) goes altogether.
  std::string& chars = before->text.chars;
  std::size_t length = chars.size();
  while (length > 0 && IsCSpace(chars[length - 1])) {
    --length;
  }
  chars.resize(length);
  if (length == 0) {
    RemoveToken(before);
  }
}

void HtmlTokenList::OnText(HtmlSpan span) {
  HtmlText& text = TailText();
  std::string_view bytes = View(span);
  // Text right after a start tag loses its leading blanks, except inside pre.
  const HtmlToken* before = tail->prev;
  if (text.chars.empty() && before != nullptr && before->kind == HtmlTokenKind::StartTag &&
      !(before->attributes != nullptr && before->attributes->element == kElementPre)) {
    std::size_t skip = 0;
    while (skip < bytes.size() && IsCSpace(bytes[skip])) {
      ++skip;
    }
    bytes.remove_prefix(skip);
  }
  text.chars.append(bytes);
  if (text.chars.empty()) {
    RemoveToken(tail);
  }
}

void HtmlTokenList::OnReference(HtmlSpan reference) {
  HtmlText& text = TailText();
  std::uint16_t character = MapCharacter(DecodeReference(View(reference)));
  auto byte = static_cast<char>(character & 0xFFu);
  if (byte != 0) {
    text.chars.push_back(byte);
  }
}

}  // namespace pelmo
