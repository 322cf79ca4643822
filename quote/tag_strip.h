// Removing several tag literals from page text in one pass.
//
// Removing each literal in turn with RemoveAllMatches reads and copies the text once per
// literal. For plain ASCII tags, removals that cannot join a new match give the same text
// when every match is simply cut out at once, so one pass can do the work of all of them in
// the common case and says when it cannot.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelmo {

// The text that RemoveAllMatches would leave after being applied with each of `tags` in the
// given order, or nullopt when one pass cannot be sure of it: when a tag is not a plain ASCII
// tag ('<', then bytes other than '<', '>' and bytes of 0x80 and above, then '>'), or when
// a removal leaves the text before it ending in the start of a tag, which the text after it
// might complete.
std::optional<std::string> RemoveTagsInOnePass(std::string_view text,
                                               std::span<const std::string> tags);

}  // namespace pelmo
