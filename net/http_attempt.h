// What one HTTP request of a fetch came to, as the platform's HTTP session reports it.
#pragma once

#include <string>

namespace pelmo {

struct HttpAttempt {
  enum class Result {
    Response,       // the final status was read; `text` holds the body when it is 200
    RequestFailed,  // no final status: connecting, sending or reading the headers failed
    BodyFailed,     // status 200 was read but the body could not be read to its end
    BodyTooLarge,   // the body exceeded the text limit, or memory ran out while reading it
  };
  Result result = Result::RequestFailed;
  int status = 0;         // the final status, 0 when none was read
  bool answered = false;  // a status line was read, of whatever response
  std::string text;       // the received body with LF expanded to CR LF, up to a zero byte
  std::string reason;     // why the attempt failed, in a few words; empty for Response
};

}  // namespace pelmo
