#include "html/grammar.h"

#include <utility>

#include "html/grammar_rules.h"
#include "html/vocabulary.h"

namespace pelmo {

namespace {

using grammar::Alt;
using grammar::AltKind;
using grammar::ElementRule;
using grammar::Group;
using grammar::RuleKind;

// A content model flattened: which alternatives it has, groups expanded.
struct ContentSet {
  bool text = false;
  bool dropEndTag = false;
  bool textFirst = true;      // text, if present, is tried before any element
  bool elementTwice = false;  // some element is reachable through two alternatives
  std::array<bool, kElementCount> elements{};
};

constexpr void Flatten(std::span<const Alt> alternatives, ContentSet& set, bool& seenElement) {
  for (const Alt& alt : alternatives) {
    switch (alt.kind) {
      case AltKind::Text:
        set.text = true;
        set.textFirst = set.textFirst && !seenElement;
        break;
      case AltKind::Element:
        set.elementTwice = set.elementTwice || set.elements[alt.value];
        set.elements[alt.value] = true;
        seenElement = true;
        break;
      case AltKind::Group:
        Flatten(grammar::kGroups[alt.value], set, seenElement);
        break;
      case AltKind::DropEndTag:
        set.dropEndTag = true;
        break;
    }
  }
}

constexpr std::array<ContentSet, grammar::kGroupCount> kContentSets = [] {
  std::array<ContentSet, grammar::kGroupCount> sets{};
  for (int group = 0; group < grammar::kGroupCount; ++group) {
    bool seenElement = false;
    Flatten(grammar::kGroups[group], sets[group], seenElement);
  }
  return sets;
}();

// The interpreter does not try alternatives one by one: a failed alternative moves nothing,
// at most one element alternative accepts a given start tag, and text is tried first, so
// taking text if it comes next, else the element alternative of the next start tag, else a
// stray end tag, gives the same result as trying them in the listed order. These checks
// keep the tables within those conditions; html, head and body are never content, and
// every element has a rule.
constexpr bool TablesFitDispatch() {
  for (const ContentSet& set : kContentSets) {
    if (!set.textFirst || set.elementTwice || set.elements[grammar::kHtml] ||
        set.elements[grammar::kHead] || set.elements[grammar::kBody]) {
      return false;
    }
  }
  for (const ElementRule& rule : grammar::kElementRules) {
    if (rule.kind == RuleKind::Missing) {
      return false;
    }
  }
  return true;
}
static_assert(TablesFitDispatch());

// Conventions in this class: `cursor_` is the one current token, null at the end of the
// list; every rule advances it. A rule that does not match leaves it where it was. `depth`
// is how many levels below the root the node a rule would make lies.
class Grammar {
 public:
  explicit Grammar(const HtmlToken* first) : cursor_(first) {}

  HtmlTree BuildDocument();

 private:
  void SkipText();
  bool PeekStart(int code) const;
  int CurrentStartCode() const;
  bool AttachStartTag(int code, HtmlNode* node);
  bool AddText(HtmlNode* parent);
  void CloseElement(int code);
  bool DropEndTag();

  bool RunElementRule(int code, HtmlNode* parent, int depth);
  // The rule's work once the cursor is on its start tag and the depth is allowed.
  void BuildElement(int code, HtmlNode* parent, int depth);
  void RunContent(Group content, HtmlNode* parent, int depth);
  bool TryAlternatives(const ContentSet& content, HtmlNode* parent, int depth);
  void RunDocumentRule(int code, HtmlNode* root);

  const HtmlToken* cursor_;
  HtmlTree tree_;
};

const HtmlToken* SkipTextFrom(const HtmlToken* token) {
  while (token != nullptr && token->kind == HtmlTokenKind::Text) {
    token = token->next;
  }
  return token;
}

int StartCodeOf(const HtmlToken* token) {
  if (token == nullptr || token->kind != HtmlTokenKind::StartTag || !token->attributes) {
    return -1;
  }
  return token->attributes->element;
}

bool IsEndTag(const HtmlToken* token, int code) {
  return token != nullptr && token->kind == HtmlTokenKind::EndTag && token->element == code;
}

void Grammar::SkipText() {
  cursor_ = SkipTextFrom(cursor_);
}

bool Grammar::PeekStart(int code) const {
  return CurrentStartCode() == code;
}

int Grammar::CurrentStartCode() const {
  return StartCodeOf(SkipTextFrom(cursor_));
}

bool Grammar::AttachStartTag(int code, HtmlNode* node) {
  if (StartCodeOf(cursor_) != code) {
    return false;
  }
  node->data = cursor_->attributes.get();
  cursor_ = cursor_->next;
  return true;
}

bool Grammar::AddText(HtmlNode* parent) {
  if (cursor_ == nullptr || cursor_->kind != HtmlTokenKind::Text) {
    return false;
  }
  tree_.AppendChild(parent, kTextNodeCode)->data = cursor_->text.chars.c_str();
  cursor_ = cursor_->next;
  return true;
}

void Grammar::CloseElement(int code) {
  if (!EndTagRequired(code)) {
    if (IsEndTag(cursor_, code)) {
      cursor_ = cursor_->next;
    }
    return;
  }
  SkipText();
  while (cursor_ != nullptr) {
    const HtmlToken* token = cursor_;
    cursor_ = token->next;
    if (IsEndTag(token, code)) {
      return;
    }
  }
}

bool Grammar::DropEndTag() {
  if (cursor_ == nullptr || cursor_->kind != HtmlTokenKind::EndTag) {
    return false;
  }
  cursor_ = cursor_->next;
  return true;
}

bool Grammar::TryAlternatives(const ContentSet& content, HtmlNode* parent, int depth) {
  if (content.text && AddText(parent)) {
    return true;
  }
  const HtmlToken* start = SkipTextFrom(cursor_);
  const int code = StartCodeOf(start);
  if (code >= 0 && code < kElementCount && content.elements[code]) {
    if (depth > kMaxElementDepth) {
      return false;
    }
    cursor_ = start;
    BuildElement(code, parent, depth);
    return true;
  }
  return content.dropEndTag && DropEndTag();
}

void Grammar::RunContent(Group content, HtmlNode* parent, int depth) {
  const ContentSet& set = kContentSets[static_cast<int>(content)];
  while (TryAlternatives(set, parent, depth)) {
  }
}

bool Grammar::RunElementRule(int code, HtmlNode* parent, int depth) {
  if (depth > kMaxElementDepth || !PeekStart(code)) {
    return false;
  }
  SkipText();
  BuildElement(code, parent, depth);
  return true;
}

void Grammar::BuildElement(int code, HtmlNode* parent, int depth) {
  const ElementRule& rule = grammar::kElementRules[code];
  HtmlNode* node = tree_.AppendChild(parent, code);
  node->data = cursor_->attributes.get();
  cursor_ = cursor_->next;
  switch (rule.kind) {
    case RuleKind::Missing:
    case RuleKind::Empty:
    case RuleKind::Document:
      return;
    case RuleKind::TextOnly:
      AddText(node);
      break;
    case RuleKind::Container:
      if (rule.firstOnce >= 0) {
        RunElementRule(rule.firstOnce, node, depth + 1);
      }
      RunContent(rule.content, node, depth + 1);
      break;
  }
  CloseElement(code);
}

// head or body: made even when the page leaves its start tag out. Their children lie two
// levels below the root.
void Grammar::RunDocumentRule(int code, HtmlNode* root) {
  constexpr int kChildDepth = 2;
  HtmlNode* node = tree_.AppendChild(root, code);
  if (PeekStart(code)) {
    SkipText();
  }
  AttachStartTag(code, node);
  RunContent(grammar::kElementRules[code].content, node, kChildDepth);
  CloseElement(code);
}

HtmlTree Grammar::BuildDocument() {
  HtmlNode* root = tree_.NewNode(grammar::kHtml);
  if (PeekStart(grammar::kHtml)) {
    SkipText();
  }
  AttachStartTag(grammar::kHtml, root);
  RunDocumentRule(grammar::kHead, root);
  RunDocumentRule(grammar::kBody, root);
  CloseElement(grammar::kHtml);
  return std::move(tree_);
}

}  // namespace

HtmlTree BuildDocumentTree(const HtmlToken* first) {
  return Grammar(first).BuildDocument();
}

}  // namespace pelmo
