// HtmlTokenizer: runs the lexer and routes its events to the virtual handlers. Declared in
// html/token_list.h together with the token list that overrides the handlers.
#include "html/token_list.h"

#include <algorithm>

namespace pelmo {

HtmlTokenizer::HtmlTokenizer(const char* text, int length) : text_(text), length_(length) {}

HtmlTokenizer::~HtmlTokenizer() = default;

void HtmlTokenizer::Run() {
  HtmlLexer lexer;
  lexer.SetNormalize(true);
  HtmlLexSinks sinks;
  sinks.content = sinks.declaration = sinks.message = &HtmlTokenizer::DispatchLexEvent;
  sinks.contentUser = sinks.declarationUser = sinks.messageUser = this;
  // One call and no end-of-input call: a length of 0 would itself mean the end of input.
  if (length_ > 0) {
    lexer.Feed(text_, length_, sinks);
  }
}

void HtmlTokenizer::OnText(HtmlSpan) {}
void HtmlTokenizer::OnStartTag(const HtmlStartTagEvent&) {}
void HtmlTokenizer::OnEndTag(HtmlSpan) {}
void HtmlTokenizer::OnReference(HtmlSpan) {}
void HtmlTokenizer::OnProcessingInstruction(HtmlSpan) {}
void HtmlTokenizer::OnDeclaration(const HtmlDeclarationEvent&) {}
void HtmlTokenizer::OnMessage(const HtmlMessageEvent&) {}

int HtmlTokenizer::DispatchLexEvent(void* user, HtmlLexer&, int count, const HtmlLexKind* kinds,
                                    const char* const* texts, const int* lengths) {
  if (count < 1) {
    return 0;
  }
  auto* self = static_cast<HtmlTokenizer*>(user);
  auto span = [&](int i) { return HtmlSpan{texts[i], lengths[i]}; };
  switch (kinds[0]) {
    case HtmlLexKind::Data:
      self->OnText(span(0));
      break;
    case HtmlLexKind::StartTagOpen: {
      // The count assumes a final TagClose; a tag cut short loses its last attribute.
      HtmlStartTagEvent tag;
      tag.name = span(0);
      tag.attributeCount = std::min(count > 2 ? (count - 2) / 2 : 0, kMaxTagAttributes);
      for (int k = 0; k < tag.attributeCount; ++k) {
        auto at = static_cast<std::size_t>(k);
        tag.attributeNames[at] = span(2 * k + 1);
        tag.attributeValues[at] = span(2 * k + 2);
        tag.valueKinds[at] = kinds[2 * k + 2];
      }
      self->OnStartTag(tag);
      break;
    }
    case HtmlLexKind::EndTagOpen:
      self->OnEndTag(span(0));
      break;
    case HtmlLexKind::EntityReference:
    case HtmlLexKind::CharReference:
      self->OnReference(span(0));
      break;
    case HtmlLexKind::ProcessingInstruction:
      self->OnProcessingInstruction(span(0));
      break;
    case HtmlLexKind::DeclarationOpen: {
      HtmlDeclarationEvent declaration;
      declaration.open = span(0);
      declaration.parameterCount = std::min(count > 2 ? count - 2 : 0, kMaxDeclarationParameters);
      for (int k = 0; k < declaration.parameterCount; ++k) {
        auto at = static_cast<std::size_t>(k);
        declaration.parameters[at] = span(k + 1);
        declaration.parameterKinds[at] = kinds[k + 1];
      }
      self->OnDeclaration(declaration);
      break;
    }
    case HtmlLexKind::Limitation:
    case HtmlLexKind::Error:
    case HtmlLexKind::Warning: {
      HtmlMessageEvent message;
      message.kind = kinds[0];
      message.message = span(0);
      if (count > 1) {
        message.source = span(1);
      }
      self->OnMessage(message);
      break;
    }
    default:
      break;
  }
  return 0;
}

}  // namespace pelmo
