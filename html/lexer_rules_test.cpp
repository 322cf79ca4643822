#include "html/lexer_rules.h"

#include <string>

#include <gtest/gtest.h>

namespace pelmo {
namespace {

// The action groups the lexer switches on must hold every rule its mode's matcher can offer;
// a rule in the wrong group would run another mode's action. Every one- and two-byte input is
// matched as the end of the input.
bool RuleBelongsToMode(LexRule rule, HtmlLexMode mode) {
  switch (mode) {
    case HtmlLexMode::ContentMode:
      return IsContentRule(rule);
    case HtmlLexMode::StartTagMode:
    case HtmlLexMode::EndTagMode:
    case HtmlLexMode::ValueMode:
      return IsTagRule(rule) || rule == LexRule::LineFeedInMarkup;
    case HtmlLexMode::DeclarationMode:
    case HtmlLexMode::CommentMode:
    case HtmlLexMode::SkipMode:
      return IsDeclarationRule(rule) || rule == LexRule::LineFeedInMarkup;
  }
  return false;
}

TEST(LexRulesTest, EveryMatchedRuleRunsInItsModesActionGroup) {
  const HtmlLexMode modes[] = {HtmlLexMode::ContentMode,     HtmlLexMode::StartTagMode,
                               HtmlLexMode::ValueMode,       HtmlLexMode::EndTagMode,
                               HtmlLexMode::DeclarationMode, HtmlLexMode::CommentMode,
                               HtmlLexMode::SkipMode};
  for (HtmlLexMode mode : modes) {
    for (int first = 1; first < 256; ++first) {
      for (int second = 0; second < 256; second += 5) {
        std::string text(1, static_cast<char>(first));
        if (second != 0) {
          text += static_cast<char>(second);
        }
        LexSearchCache cache(text.data() + text.size());
        LexProbe probe(text.data(), cache);
        LexRuleMatch match = MatchLexRule(mode, probe);
        ASSERT_TRUE(RuleBelongsToMode(match.rule, mode))
            << "mode " << static_cast<int>(mode) << " rule " << static_cast<int>(match.rule)
            << " bytes " << first << "," << second;
        ASSERT_GE(match.length, 1);
      }
    }
  }
}

TEST(LexRulesTest, MissingEndQuoteWarning) {
  // The whole quoted match, quotes and trailing white space included.
  EXPECT_TRUE(DrawsMissingEndQuoteWarning(R"("c>d=")"));
  EXPECT_TRUE(DrawsMissingEndQuoteWarning(R"(">=")"));
  EXPECT_FALSE(DrawsMissingEndQuoteWarning(R"("c>d=" )"));  // '=' is third from the end
  EXPECT_FALSE(DrawsMissingEndQuoteWarning(R"("cd=")"));    // no '>'
  EXPECT_FALSE(DrawsMissingEndQuoteWarning(R"("c>d")"));    // no '='
  EXPECT_FALSE(DrawsMissingEndQuoteWarning(R"(=")"));       // two bytes only
}

}  // namespace
}  // namespace pelmo
