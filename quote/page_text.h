// Preparation of a fetched table page before it is tokenized: cut the page down to the data
// table, then drop the `small` tags that wrap some of its numbers.
//
// Both passes work on raw Shift_JIS bytes with the searches of sjis_search.h and know
// nothing of HTML beyond their literals. A null text stays null; neither pass fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

// Keeps the second "<table" that follows the "<!--/tab-->" marker (counted from the start of
// the text when there is no marker), up to and including the first "</table>" after it. The
// text becomes empty when either table start or that end is missing.
void CutToTable(std::optional<std::string>& pageText);

// Removes every "<name>" and then every "</name>", each first in lower and then in upper
// case (ASCII letters only), including matches that a removal joins together. Tags in mixed
// case, with attributes or with white space stay.
void StripElementTags(std::optional<std::string>& pageText, std::string_view name);

}  // namespace pelmo
