// Reading the Retry-After header of a busy service's answer.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace pelmo {

// The wait that a Retry-After value asks for, in whole seconds: a number of seconds ("120"),
// or an HTTP date ("Wed, 21 Oct 2015 07:28:00 GMT") counted from `now` and rounded up, a
// date already past asking for 0. Blanks around the value are ignored. Nullopt for anything
// else, and for a number of seconds too large to be meant.
std::optional<std::chrono::seconds> RetryAfterWait(std::string_view value,
                                                   std::chrono::system_clock::time_point now);

}  // namespace pelmo
