#include "app/failure_message.h"

#include "platform/platform.h"

namespace pelmo {
namespace {

// What the line says after its subject.
std::string Why(const Result& result) {
  switch (result.reason) {
    case Reason::StatusNotOk:
      return "HTTP status " + std::to_string(result.code);
    case Reason::CannotRead:
    case Reason::CannotWrite:
      return SystemErrorText(result.code);
    case Reason::InUse:
      return "in use by another run of pelmo";
    case Reason::Changed:
      return "changed by another program during this run";
    default:
      return result.message;
  }
}

}  // namespace

Result InUseByAnotherRun(const std::string& path) {
  return {Reason::InUse, 0, {}, path};
}

Result ChangedDuringTheRun(const std::string& path) {
  return {Reason::Changed, 0, {}, path};
}

std::string FailureLine(const Result& result) {
  switch (result.reason) {
    case Reason::Ok:
      return {};
    case Reason::CannotRead:
    case Reason::NotUnderstood:
      return "pelmo: cannot read " + result.subject + ": " + Why(result) + "\n";
    case Reason::CannotWrite:
    case Reason::InUse:
    case Reason::Changed:
      return "pelmo: cannot write " + result.subject + ": " + Why(result) + "\n";
    case Reason::BadSetting:
      return "pelmo: bad " + result.subject + ": " + Why(result) + "\n";
    case Reason::MissingValue:
      return "pelmo: " + result.subject + " needs a value\n";
    case Reason::BadArgument:
      return "pelmo: " + result.message + "\n";
    default:
      return "pelmo: cannot fetch " + result.subject + ": " + Why(result) + "\n";
  }
}

int ExitCode(const Result& result) {
  switch (result.reason) {
    case Reason::Ok:
      return 0;
    case Reason::CannotRead:
    case Reason::CannotWrite:
      return result.code;
    case Reason::InUse:
    case Reason::Changed:
      return kExitTemporaryFailure;
    case Reason::NotUnderstood:
      return kExitDataError;
    case Reason::BadSetting:
    case Reason::MissingValue:
    case Reason::BadArgument:
      return 1;
    default:
      return kExitServiceUnavailable;
  }
}

void ReportFailure(std::FILE* messages, const Result& result) {
  if (messages == nullptr || result.ok()) {
    return;
  }
  WriteMessage(messages, FailureLine(result));
}

}  // namespace pelmo
