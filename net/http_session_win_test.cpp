#include "net/http_session_win.h"

#include <gtest/gtest.h>

namespace pelmo {
namespace {

// A time-out reads as one however it is reported: WinHTTP's own code, or the socket's that
// some implementations pass on when the wait for the headers ends. Otherwise a silent
// service would read as an unknown fault and lose the words Linux gives it.
TEST(WinHttpFaultTest, TimeOutsAndConnectionFailures) {
  EXPECT_EQ(WinHttpFault(12002), TransportFault::TimedOut);  // ERROR_WINHTTP_TIMEOUT
  EXPECT_EQ(WinHttpFault(10060), TransportFault::TimedOut);  // WSAETIMEDOUT
  EXPECT_EQ(WinHttpFault(12029), TransportFault::CannotConnect);
  EXPECT_EQ(WinHttpFault(12152), TransportFault::ClosedWithoutResponse);
  EXPECT_EQ(WinHttpFault(1), TransportFault::Other);
}

}  // namespace
}  // namespace pelmo
