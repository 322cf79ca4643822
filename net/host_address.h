// The value of --host: the quote service's address, checked when it is read so that a value
// that can never be requested is refused before the first request.
//
//   [http:// | https://] host [:port] [/prefix]
//
// The scheme in any letter case; the host a name (letters, digits, '-' and '.'), an IPv4
// address or an IPv6 address in brackets; the port a number from 1 to 65535, leading zeros
// allowed; the prefix any bytes but spaces and control bytes, which are refused everywhere.
#pragma once

#include <string>
#include <string_view>

namespace pelmo {

struct HostAddress {
  // The value as it is requested: the scheme in lower case and the port without leading
  // zeros, the rest as given. Empty when the value is refused.
  std::string value;
  // Why the value is refused ("only http and https"); empty when it is accepted.
  std::string problem;
};

HostAddress CheckHostAddress(std::string_view text);

}  // namespace pelmo
