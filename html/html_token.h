// The token list that the tokenizer builds and the grammar reads: start tags with their
// element code and typed attributes, end tags with their element code, and text.
//
// Tokens are owned by the token list (HtmlTokenList); `next` and `prev` are plain links.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pelmo {

enum class HtmlTokenKind { StartTag = 0, EndTag = 1, Text = 2 };

enum class AttributeType {
  Ignored = -1,
  Number = 0,
  Percent = 1,
  String = 2,
  Color = 3,
  Keyword = 4
};

// Text with references decoded; `chars` is NUL-terminated (std::string keeps the NUL).
struct HtmlText {
  std::string chars;
  std::size_t length() const { return chars.size(); }
};

struct HtmlAttribute {
  std::int32_t value = 0;  // number, percent, colour or keyword code, by `type`
  std::string text;        // the value text, for `String` entries only
  int attribute = -1;      // attribute code, -1 when not in the vocabulary
  AttributeType type = AttributeType::Ignored;
};

struct HtmlAttributeList {
  int element = -1;  // element code
  std::vector<HtmlAttribute> items;
  int count() const { return static_cast<int>(items.size()); }

  // A page makes about a thousand lists, so the token list carves its lists from blocks it
  // owns instead of calling the heap for each (html/attribute_list_store.h). Either kind is
  // released through its unique_ptr as usual; a list from a token list must not outlive it.
  static void* operator new(std::size_t size);
  static void operator delete(void* list) noexcept;
};

struct HtmlToken {
  HtmlTokenKind kind = HtmlTokenKind::Text;
  // The payload, by kind (the element code first, where it packs beside the kind):
  int element = -1;  // EndTag: the element code
  HtmlToken* next = nullptr;
  HtmlToken* prev = nullptr;
  std::unique_ptr<HtmlAttributeList> attributes;  // StartTag
  HtmlText text;                                  // Text
};

}  // namespace pelmo
