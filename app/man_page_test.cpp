// The manual pages list the same options as the usage texts that the programs print.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "app/test_process.h"
#include "app/test_support_for_test.h"
#include "app/usage_text.h"

namespace pelmo {
namespace {

using Options = std::set<std::string>;

std::string ManPage(const char* name) {
  return ReadFileForTest(std::string(PELMO_SOURCE_DIR) + "/docs/man/" + name);
}

// The options named on the tag lines (the line after ".TP") of the OPTIONS section.
Options ManPageOptions(const std::string& page) {
  Options options;
  std::istringstream lines(page);
  std::string line;
  bool inOptions = false;
  bool tagNext = false;
  const std::regex option(R"(\\-(\\-)?([a-z](?:[a-z]|\\-)*))");
  while (std::getline(lines, line)) {
    if (line.starts_with(".SH")) {
      inOptions = line == ".SH OPTIONS";
    } else if (inOptions && line == ".TP") {
      tagNext = true;
    } else if (tagNext) {
      tagNext = false;
      for (std::sregex_iterator m(line.begin(), line.end(), option), end; m != end; ++m) {
        std::string name = (*m)[2];
        // "\-" inside a name is a hyphen, as in --fail\-first.
        name = std::regex_replace(name, std::regex(R"(\\-)"), "-");
        options.insert(((*m)[1].matched ? "--" : "-") + name);
      }
    }
  }
  return options;
}

// The options that begin the option lines of a usage text ("    -s startdate\t...",
// "  -h, --help  ...").
Options UsageOptions(const std::string& usage) {
  Options options;
  std::istringstream lines(usage);
  std::string line;
  const std::regex optionLine(R"(^ +(-[^ \t,]*)(, (--[a-z-]+))?)");
  while (std::getline(lines, line)) {
    std::smatch m;
    if (std::regex_search(line, m, optionLine)) {
      options.insert(m[1].str());
      if (m[3].matched) {
        options.insert(m[3].str());
      }
    }
  }
  return options;
}

std::string PelmoUsage() {
  CapturedStreamForTest stream;
  PrintUsage(stream.get(), "9.9.9.9");
  return stream.Text();
}

TEST(ManPages, PelmoListsTheUsageTextsOptionsAndHelp) {
  const Options usage = UsageOptions(PelmoUsage());
  EXPECT_EQ(usage, (Options{"-s", "-e", "-p", "-o", "-t", "-a", "-z", "--host", "--version"}));
  // The usage text does not list the options that print it.
  Options expected = usage;
  expected.insert({"-h", "--help"});
  EXPECT_EQ(ManPageOptions(ManPage("pelmo.1")), expected);
}

TEST(ManPages, QuoteServerListsTheHelpTextsOptions) {
  const ScratchFolderForTest folder;
  const testing::ProcessResult help =
      testing::RunProcess({testing::QuoteServerBinary().string(), "--help"}, folder.path());
  ASSERT_EQ(help.exitCode, 0);
  const Options usage = UsageOptions(help.out);
  EXPECT_EQ(usage.size(), 10u);
  EXPECT_EQ(ManPageOptions(ManPage("quote-server.1")), usage);
}

TEST(ManPages, ExtractionSeesEveryTagLine) {
  const std::string page =
      ".SH OPTIONS\n.TP\n.BI \\-x \" value\"\n.TP\n.BR \\-y \", \" \\-\\-why\\-not\n"
      "text \\-q\n.SH EXAMPLES\n.TP\n.B \\-w\n";
  EXPECT_EQ(ManPageOptions(page), (Options{"-x", "-y", "--why-not"}));
}

}  // namespace
}  // namespace pelmo
