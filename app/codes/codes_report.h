// The texts of a --codes run on standard error: each code's lines with the code in front,
// the status line a person at a terminal sees, and the lines that close the run.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmo {

// Cuts the bytes a code's download writes into whole lines, each handed on with "CODE\t" in
// front; the lines that begin "pelmo: " are kept as well, for the closing summary.
class CodeLines {
 public:
  // `deliver` gets one or more whole prefixed lines at a time; none: the lines are only
  // kept.
  CodeLines(std::string code, std::function<void(std::string_view)> deliver)
      : code_(std::move(code)), deliver_(std::move(deliver)) {}

  void Feed(std::string_view bytes);
  // Hands on a last line without a line end, with one added.
  void Finish();

  // The "pelmo: " lines seen, without their line ends.
  const std::vector<std::string>& failureLines() const { return failureLines_; }

 private:
  void Take(std::string_view line, std::string& out);

  std::string code_;
  std::function<void(std::string_view)> deliver_;
  std::string pending_;
  std::vector<std::string> failureLines_;
};

// "codes 37/1000, 2 failed, 7203.t 2026/11/08-2026/12/08": codes finished, failed, and the
// code and window asked for last (left out while there is none).
std::string CodesStatusText(std::size_t done, std::size_t total, std::size_t failed,
                            std::string_view latest);

// "pelmo: 3 of 1000 codes failed: 1234.t 5678.t 9012.t", naming the first 20.
std::string CodesFailedLine(const std::vector<std::string>& failed, std::size_t total);

// "pelmo: interrupted; 2 of 1000 codes not done: 1234.t 5678.t", naming the first 20.
std::string CodesNotDoneLine(const std::vector<std::string>& notDone, std::size_t total);

// The closing line for a failed code on a terminal: its first "pelmo: " line with the code
// after "pelmo: ", and how many more it had ("pelmo: 1234.t: cannot fetch ...: connection
// refused (and 2 more)"); "pelmo: 1234.t: failed with exit code 69" without one.
std::string FailedCodeLine(std::string_view code, const std::vector<std::string>& failureLines,
                           int exitCode);

}  // namespace pelmo
