// One line of a file that an earlier run (or a spreadsheet program that opened it) left at
// the output path, read as a dated row.
//
// Fields end at each comma or tab. A field in double quotes loses them ("" inside is one
// "), and a comma inside a quoted number groups its thousands ("1,234" is 1234). The first
// field is the date, as the command line takes dates (2007/1/4, 2007-01-04, a time of day
// after it is dropped); every later field must be a decimal number, held as the double its
// text gives. Empty fields at the end of the line are dropped; an empty field between two
// others is not a number, so that no value moves into another column.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "records/quote_record.h"

namespace pelmo {

// A dated row, marked as read from the existing file, with `valueCount` its number of
// values (at most six are kept; further fields must be numbers all the same, and are
// dropped). `line` holds no line end.
struct StoredRow {
  QuoteRecord record;
  int valueCount = 0;
};

// The row of `line`, or nullopt when it is not a dated row: no date in the first field, or
// a later field that is not a number.
std::optional<StoredRow> ParseRecordLine(std::string_view line);

// The number in `field`: optional spaces around an optional sign, digits with an optional
// point and fraction, and an optional exponent. With `grouped`, commas may separate the
// integer digits in threes ("1,234,567"). Nullopt for anything else, "inf" and hex included,
// and for a magnitude whose hundredths a double cannot hold.
std::optional<double> ReadNumber(std::string_view field, bool grouped);

// The first `most` bytes of `line` as a message shows them: control bytes become spaces.
std::string LineExcerpt(std::string_view line, std::size_t most);

}  // namespace pelmo
