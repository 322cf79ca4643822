// Test-only: hand-made token chains for the grammar, written like markup without the
// lexer's rules: "<td>" is a start tag, "</td>" an end tag, anything else up to the next
// '<' one text token, taken verbatim. "<td x>" gives the start tag an attribute list with
// one (ignored) attribute so tests can tell which tag a node kept.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <string_view>

#include "html/html_token.h"
#include "html/tree_dump_test_util.h"

namespace pelmo::test {

class TokenChain {
 public:
  TokenChain() = default;
  explicit TokenChain(std::string_view markup) { Parse(markup); }
  TokenChain(const TokenChain&) = delete;
  TokenChain& operator=(const TokenChain&) = delete;

  const HtmlToken* head() const { return tokens_.empty() ? nullptr : &tokens_.front(); }

  TokenChain& Start(std::string_view name, bool withAttribute = false) {
    HtmlToken& token = Append(HtmlTokenKind::StartTag);
    token.attributes = std::make_unique<HtmlAttributeList>();
    token.attributes->element = CodeOf(name);
    if (withAttribute) {
      token.attributes->items.emplace_back();
    }
    return *this;
  }
  TokenChain& End(std::string_view name) {
    Append(HtmlTokenKind::EndTag).element = CodeOf(name);
    return *this;
  }
  TokenChain& Text(std::string_view chars) {
    Append(HtmlTokenKind::Text).text.chars = std::string(chars);
    return *this;
  }

 private:
  static int CodeOf(std::string_view name) {
    const int code = ElementCodeForTests(name);
    if (code < 0) {
      ADD_FAILURE() << "unknown element in test markup: " << name;
    }
    return code;
  }

  HtmlToken& Append(HtmlTokenKind kind) {
    HtmlToken* previous = tokens_.empty() ? nullptr : &tokens_.back();
    HtmlToken& token = tokens_.emplace_back();
    token.kind = kind;
    token.prev = previous;
    if (previous != nullptr) {
      previous->next = &token;
    }
    return token;
  }

  void Parse(std::string_view markup) {
    while (!markup.empty()) {
      if (markup.front() != '<') {
        const std::size_t end = markup.find('<');
        Text(markup.substr(0, end));
        markup.remove_prefix(end == std::string_view::npos ? markup.size() : end);
        continue;
      }
      const std::size_t close = markup.find('>');
      if (close == std::string_view::npos) {
        ADD_FAILURE() << "unterminated tag in test markup: " << markup;
        return;
      }
      std::string_view tag = markup.substr(1, close - 1);
      markup.remove_prefix(close + 1);
      if (tag.starts_with('/')) {
        End(tag.substr(1));
      } else {
        const std::size_t space = tag.find(' ');
        Start(tag.substr(0, space), space != std::string_view::npos);
      }
    }
  }

  // A deque keeps token addresses fixed while the chain grows.
  std::deque<HtmlToken> tokens_;
};

}  // namespace pelmo::test
