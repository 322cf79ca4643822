// The result of a step at the HTTP or file boundary, or of a setting: success, or why it
// failed. Failures there are results, not exceptions; app/failure_message.h turns a failed
// result into its "pelmo: ..." line and the exit code.
#pragma once

#include <string>
#include <utility>

namespace pelmo {

enum class Reason {
  Ok,
  // A page that could not be had.
  NoAnswer,            // no status line at all: refused, timed out, reset, name not found
  RequestFailed,       // answered at some attempt, but no final status was read (redirects)
  StatusNotOk,         // a final status other than 200, in `code`
  BodyCutShort,        // the answer ended early: inside its headers, or its body (status 200)
                       // short of its end
  OutOfTime,           // the last attempt was ended by the bound on an attempt or on all the
                       // attempts of a page, not by the service
  ServiceBusy,         // status 429 or 503 to the last attempt, `message` names the wait asked
  TooLarge,            // the page is over the size limit, or memory ran out for it
  UnsupportedAddress,  // neither http:, https: nor a local file address
  SessionFailed,       // the HTTP library could not set up a session
  FileUnreadable,      // the local file of a "file:" address could not be read
  TextHeld,            // the fetch was refused: the fetcher still holds a page text
  // The output file and the file an earlier run left there; the subject is the path.
  CannotRead,   // the errno (a Windows error code on Windows) in `code`
  CannotWrite,  // the errno in `code`
  InUse,        // another run of pelmo holds the file
  Changed,      // another program changed, replaced or created the file during the run
  // What pelmo cannot read as data: a line of the existing file, or rows of a page, which it
  // refuses rather than store numbers it did not read as such; the subject is the path or
  // the date window, `message` says what is wrong.
  NotUnderstood,
  // A command-line setting; the subject is the value given.
  BadSetting,    // a value that is refused, `message` says why
  MissingValue,  // an option at the end of the arguments, without its value
  BadArgument,   // an argument that is not understood, `message` says which and why
};

struct [[nodiscard]] Result {
  Reason reason = Reason::Ok;
  // The errno or Windows error code of a file failure, or the HTTP status when one was
  // read (200 with a page); 0 otherwise.
  int code = 0;
  // Why, in a few words ("connection refused"), where the reason alone does not say it.
  std::string message;
  // What the failure is about: a file's path, a setting's value, a date window.
  std::string subject;

  bool ok() const { return reason == Reason::Ok; }
};

// A failure of `reason` with `message`.
inline Result Failure(Reason reason, std::string message = {}, int code = 0) {
  return {reason, code, std::move(message), {}};
}

// Success when `error` is 0; else a failure of `reason` on the file at `path`.
inline Result FileFailure(Reason reason, int error, std::string path) {
  if (error == 0) {
    return {};
  }
  return {reason, error, {}, std::move(path)};
}

// The same result, about `subject`.
inline Result About(Result result, std::string subject) {
  result.subject = std::move(subject);
  return result;
}

}  // namespace pelmo
