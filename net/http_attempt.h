// The result of one HTTP request of a fetch, as the platform's HTTP session reports it:
// ok with status 200 and the body, StatusNotOk with another final status, or NoAnswer,
// RequestFailed, BodyCutShort or TooLarge with the words for the fault.
#pragma once

#include "base/result.h"

namespace pelmo {

// A final status was read: a page at 200, else StatusNotOk.
inline Result ResponseResult(int status) {
  return {status == 200 ? Reason::Ok : Reason::StatusNotOk, status, {}, {}};
}

// The reason of a request that failed with `status` read so far (0 or 200): a body cut
// short after 200; else whether any status line, of whatever response, came.
inline Reason AttemptFailure(int status, bool answered) {
  if (status == 200) {
    return Reason::BodyCutShort;
  }
  return answered ? Reason::RequestFailed : Reason::NoAnswer;
}

}  // namespace pelmo
