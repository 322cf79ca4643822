#include "app/failure_message.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "app/tests/test_support_for_test.h"
#include "platform/platform.h"

namespace pelmo {
namespace {

// Every reason's line, byte for byte, and its exit code.
TEST(FailureMessage, EachReasonsLineAndExitCode) {
  const std::string window = "2007/01/01-2007/02/20";
  const struct {
    Result result;
    std::string line;
    int exitCode;
  } cases[] = {
      {About(Failure(Reason::NoAnswer, "connection refused"), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: connection refused\n", 69},
      {About(Failure(Reason::NoAnswer, "not requested, the quote service did not answer"),
             "1990/01/01-2006/12/19"),
       "pelmo: cannot fetch 1990/01/01-2006/12/19: not requested, the quote service did not "
       "answer\n",
       69},
      {About(Failure(Reason::RequestFailed, "too many redirects"), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: too many redirects\n", 69},
      {About(Failure(Reason::StatusNotOk, "", 404), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: HTTP status 404\n", 69},
      {About(Failure(Reason::StatusNotOk, "", 0), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: HTTP status 0\n", 69},
      {About(Failure(Reason::BodyCutShort, "timed out", 200), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: timed out\n", 69},
      {About(Failure(Reason::TooLarge, "page too large", 200), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: page too large\n", 69},
      {About(Failure(Reason::UnsupportedAddress, "unsupported address"), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: unsupported address\n", 69},
      {About(Failure(Reason::SessionFailed, "cannot start an HTTP session"), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: cannot start an HTTP session\n", 69},
      {About(Failure(Reason::FileUnreadable, "file too large"), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: file too large\n", 69},
      {About(Failure(Reason::TextHeld, "the fetcher still holds a page"), window),
       "pelmo: cannot fetch 2007/01/01-2007/02/20: the fetcher still holds a page\n", 69},
      {FileFailure(Reason::CannotRead, EACCES, "data/7203.csv"),
       "pelmo: cannot read data/7203.csv: " + SystemErrorText(EACCES) + "\n", EACCES},
      {FileFailure(Reason::CannotWrite, ENOSPC, "7203.bak"),
       "pelmo: cannot write 7203.bak: " + SystemErrorText(ENOSPC) + "\n", ENOSPC},
      {InUseByAnotherRun("7203.csv"),
       "pelmo: cannot write 7203.csv: in use by another run of pelmo\n", 75},
      {ChangedDuringTheRun("7203.csv"),
       "pelmo: cannot write 7203.csv: changed by another program during this run\n", 75},
      {About(Failure(Reason::NotUnderstood, "line 3 is not a dated row: Date,Open"), "7203.csv"),
       "pelmo: cannot read 7203.csv: line 3 is not a dated row: Date,Open\n", 65},
      {About(Failure(Reason::NotUnderstood,
                     "1 rows not stored: row 2007/01/05 is outside the window"),
             window),
       "pelmo: cannot read 2007/01/01-2007/02/20: 1 rows not stored: row 2007/01/05 is outside "
       "the window\n",
       65},
      {About(Failure(Reason::BadSetting, "only http and https"), "--host value 'ftp://x'"),
       "pelmo: bad --host value 'ftp://x': only http and https\n", 1},
      {About(Failure(Reason::MissingValue), "--host"), "pelmo: --host needs a value\n", 1},
      {Result{}, "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FailureLine(c.result), c.line);
    EXPECT_EQ(ExitCode(c.result), c.exitCode) << c.line;
    CapturedStreamForTest stream;
    ReportFailure(stream.get(), c.result);
    EXPECT_EQ(stream.Text(), c.line);
  }
}

#ifndef _WIN32
TEST(FailureMessage, FileErrorIsTheSystemsText) {
  EXPECT_EQ(FailureLine(FileFailure(Reason::CannotWrite, EISDIR, "out")),
            "pelmo: cannot write out: Is a directory\n");
}
#endif

// A file step that did not fail (errno 0) is a success, whatever it was about.
TEST(FailureMessage, FileStepWithoutErrorIsOk) {
  const Result result = FileFailure(Reason::CannotWrite, 0, "7203.csv");
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(ExitCode(result), 0);
  EXPECT_EQ(FailureLine(result), "");
}

}  // namespace
}  // namespace pelmo
