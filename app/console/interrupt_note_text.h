// The line that tells a person that Ctrl-C (or a termination request) ended the run, and
// what became of the output file:
//
//   pelmo: interrupted; 7203.csv unchanged
//   pelmo: terminated; 7203.csv was written
//   pelmo: interrupted                          (the path names a device, a pipe)
#pragma once

#include <array>
#include <string_view>

namespace pelmo {

// What the output path names when the run is ended, compared with when it began.
enum class OutputFate { NotAFile, Unchanged, Written };

// The pieces of the line, in order, its line end the last; pieces not needed are empty.
// Allocates nothing and views `path`, so that a signal handler can write them one by one.
std::array<std::string_view, 5> InterruptNotePieces(bool interrupted, std::string_view path,
                                                    OutputFate fate) noexcept;

}  // namespace pelmo
