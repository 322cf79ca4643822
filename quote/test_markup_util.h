// Test-only: a tiny document tree builder for canned pages.
//
// It knows just enough markup for table pages written by hand: "<name ...>" opens an
// element, "</name>" closes the innermost open element of that name (and everything opened
// inside it), "<br>" stands alone, and the bytes between tags become text nodes. The root
// is `html` with a `head` child and a `body` sibling holding the document, the shape that
// the page reader walks.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/html_node.h"

namespace pelmo::test {

class TestTree {
 public:
  HtmlNode* Root() { return &nodes_.front(); }
  HtmlNode* Body() { return body_; }

  HtmlNode* AddElement(HtmlNode* parent, int code) { return Append(parent, code, nullptr); }
  HtmlNode* AddText(HtmlNode* parent, std::string text) {
    texts_.push_back(std::move(text));
    return Append(parent, kTextNodeCode, texts_.back().c_str());
  }

  // A root with head and body; the markup goes into body.
  static TestTree FromMarkup(std::string_view markup) {
    TestTree tree;
    HtmlNode* root = tree.AddElement(nullptr, 0);
    tree.AddElement(root, 1);
    tree.body_ = tree.AddElement(root, 2);
    tree.Parse(markup);
    return tree;
  }

 private:
  HtmlNode* Append(HtmlNode* parent, int code, const void* data) {
    HtmlNode& node = nodes_.emplace_back();
    node.code = code;
    node.data = data;
    node.parent = parent;
    if (parent != nullptr) {
      HtmlNode*& last = lastChild_[parent];
      (last != nullptr ? last->nextSibling : parent->firstChild) = &node;
      last = &node;
    }
    return &node;
  }

  void Parse(std::string_view markup) {
    std::vector<std::pair<std::string, HtmlNode*>> open{{"body", body_}};
    std::size_t pos = 0;
    while (pos < markup.size()) {
      std::size_t tagEnd = markup[pos] == '<' ? markup.find('>', pos) : std::string_view::npos;
      if (tagEnd == std::string_view::npos) {
        const std::size_t next = markup.find('<', pos + 1);
        const std::size_t end = next == std::string_view::npos ? markup.size() : next;
        AddText(open.back().second, std::string(markup.substr(pos, end - pos)));
        pos = end;
        continue;
      }
      std::string_view tag = markup.substr(pos + 1, tagEnd - pos - 1);
      pos = tagEnd + 1;
      const bool closing = !tag.empty() && tag[0] == '/';
      std::string name(tag.substr(closing ? 1 : 0, tag.find(' ') - (closing ? 1 : 0)));
      if (closing) {
        for (std::size_t i = open.size(); i-- > 1;) {
          if (open[i].first == name) {
            open.resize(i);
            break;
          }
        }
      } else if (name == "br") {
        AddElement(open.back().second, 3);
      } else {
        open.emplace_back(name, AddElement(open.back().second, 4));
      }
    }
  }

  std::deque<HtmlNode> nodes_;
  std::deque<std::string> texts_;
  std::unordered_map<HtmlNode*, HtmlNode*> lastChild_;
  HtmlNode* body_ = nullptr;
};

}  // namespace pelmo::test
