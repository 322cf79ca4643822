// Typed attribute entries; declared in html/vocabulary.h.
#include "html/vocabulary.h"

#include "html/vocabulary_tables.h"

namespace pelmo {
namespace {

HtmlAttribute Entry(int attribute, AttributeType type, std::int32_t value) {
  HtmlAttribute entry;
  entry.attribute = attribute;
  entry.type = type;
  entry.value = value;
  return entry;
}

HtmlAttribute StringEntry(int attribute, std::string_view text) {
  HtmlAttribute entry = Entry(attribute, AttributeType::String, 0);
  entry.text.assign(text);
  return entry;
}

HtmlAttribute NumberEntry(int attribute, std::string_view text) {
  AttributeNumber number = ParseAttributeNumber(text);
  return Entry(attribute, number.percent ? AttributeType::Percent : AttributeType::Number,
               number.value);
}

// Font sizes without a sign are absolute; storing them 7 higher keeps them apart from the
// relative sizes (+1, -2) on one scale.
HtmlAttribute FontSizeEntry(int element, int attribute, std::string_view text) {
  auto value = static_cast<std::uint32_t>(ParseAttributeNumber(text).value);
  bool relative = !text.empty() && (text[0] == '+' || text[0] == '-');
  if (element == kElementFont && !relative) {
    value += 7;
  }
  return Entry(attribute, AttributeType::Number, static_cast<std::int32_t>(value));
}

HtmlAttribute ValueEntry(int element, int attribute, std::string_view text) {
  switch (element) {
    case kElementInput:
    case kElementOption:
    case kElementParam:
      return StringEntry(attribute, text);
    case kElementLi:
      return Entry(attribute, AttributeType::Number, ParseAttributeNumber(text).value);
    default:
      return Entry(-1, AttributeType::Ignored, 0);
  }
}

}  // namespace

HtmlAttribute InterpretAttribute(int element, int attribute, std::string_view value, int keyword) {
  if (attribute < 0 || attribute >= static_cast<int>(kAttributes.size())) {
    return Entry(-1, AttributeType::Keyword, keyword);
  }
  switch (kAttributes[static_cast<std::size_t>(attribute)].rule) {
    case AttributeValueRule::String:
      return StringEntry(attribute, value);
    case AttributeValueRule::Keyword:
      return Entry(attribute, AttributeType::Keyword, keyword);
    case AttributeValueRule::Color:
      return Entry(attribute, AttributeType::Color,
                   static_cast<std::int32_t>(ParseColor(keyword, value)));
    case AttributeValueRule::NumberOrPercent:
      return NumberEntry(attribute, value);
    case AttributeValueRule::FontSize:
      return FontSizeEntry(element, attribute, value);
    case AttributeValueRule::KeywordOrString:
      if (keyword != -1) {
        return Entry(attribute, AttributeType::Keyword, keyword);
      }
      return StringEntry(attribute, value);
    case AttributeValueRule::ByElement:
      return ValueEntry(element, attribute, value);
  }
  return Entry(-1, AttributeType::Ignored, 0);
}

}  // namespace pelmo
