#include "app/codes/codes_report.h"

namespace pelmo {
namespace {

constexpr std::size_t kCodesNamed = 20;
constexpr std::string_view kPelmo = "pelmo: ";

std::string Named(const std::vector<std::string>& codes) {
  std::string text;
  for (std::size_t i = 0; i < codes.size() && i < kCodesNamed; ++i) {
    text += " " + codes[i];
  }
  if (codes.size() > kCodesNamed) {
    text += " ...";
  }
  return text;
}

}  // namespace

void CodeLines::Take(std::string_view line, std::string& out) {
  std::string_view text = line;
  if (text.ends_with('\n')) {
    text.remove_suffix(1);
  }
  if (text.starts_with(kPelmo)) {
    failureLines_.emplace_back(text);
  }
  if (deliver_) {
    out += code_;
    out += '\t';
    out += line;
  }
}

void CodeLines::Feed(std::string_view bytes) {
  pending_.append(bytes);
  std::string out;
  std::size_t start = 0;
  for (std::size_t end = pending_.find('\n'); end != std::string::npos;
       end = pending_.find('\n', start)) {
    Take(std::string_view(pending_).substr(start, end + 1 - start), out);
    start = end + 1;
  }
  pending_.erase(0, start);
  if (!out.empty()) {
    deliver_(out);
  }
}

void CodeLines::Finish() {
  if (!pending_.empty()) {
    Feed("\n");
  }
}

std::string CodesStatusText(std::size_t done, std::size_t total, std::size_t failed,
                            std::string_view latest) {
  std::string text = "codes " + std::to_string(done) + "/" + std::to_string(total) + ", " +
                     std::to_string(failed) + " failed";
  if (!latest.empty()) {
    text += ", ";
    text += latest;
  }
  return text;
}

std::string CodesFailedLine(const std::vector<std::string>& failed, std::size_t total) {
  return "pelmo: " + std::to_string(failed.size()) + " of " + std::to_string(total) +
         " codes failed:" + Named(failed);
}

std::string CodesNotDoneLine(const std::vector<std::string>& notDone, std::size_t total) {
  return "pelmo: interrupted; " + std::to_string(notDone.size()) + " of " + std::to_string(total) +
         " codes not done:" + Named(notDone);
}

std::string FailedCodeLine(std::string_view code, const std::vector<std::string>& failureLines,
                           int exitCode) {
  const std::string head = std::string(kPelmo) + std::string(code) + ": ";
  if (failureLines.empty()) {
    return head + "failed with exit code " + std::to_string(exitCode);
  }
  std::string_view first = failureLines.front();
  if (first.starts_with(kPelmo)) {
    first.remove_prefix(kPelmo.size());
  }
  std::string line = head + std::string(first);
  if (failureLines.size() > 1) {
    line += " (and " + std::to_string(failureLines.size() - 1) + " more)";
  }
  return line;
}

}  // namespace pelmo
