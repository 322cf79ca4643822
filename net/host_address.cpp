#include "net/host_address.h"

#include <algorithm>
#include <charconv>

#include "base/ascii.h"

namespace pelmo {
namespace {

constexpr std::size_t kMaxNameLength = 253;
constexpr std::size_t kMaxLabelLength = 63;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f');
}

bool IsLetterOrDigit(char c) {
  return IsDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z');
}

// Splits `text` at each `separator`; empty pieces included.
template <typename Visit>
bool EveryPiece(std::string_view text, char separator, Visit visit) {
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    if (!visit(text.substr(start, end - start))) {
      return false;
    }
    if (end == std::string_view::npos) {
      return true;
    }
    start = end + 1;
  }
}

// Up to `digits` digits, read as a number no greater than `max`.
bool IsNumber(std::string_view text, std::size_t digits, int max) {
  if (text.empty() || text.size() > digits) {
    return false;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && value <= max;
}

bool IsIpv4(std::string_view text) {
  int parts = 0;
  return EveryPiece(text, '.',
                    [&parts](std::string_view part) {
                      ++parts;
                      return std::all_of(part.begin(), part.end(), IsDigit) &&
                             IsNumber(part, 3, 255);
                    }) &&
         parts == 4;
}

// Groups of one to four hex digits; "::" once stands for one or more zero groups; the
// last two groups may be written as an IPv4 address.
bool IsIpv6(std::string_view text) {
  const std::size_t gap = text.find("::");
  if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos) {
    return false;
  }
  int groups = 0;
  bool ipv4Seen = false;
  const auto group = [&groups, &ipv4Seen](std::string_view piece) {
    if (piece.empty() || ipv4Seen) {
      return false;
    }
    if (piece.find('.') != std::string_view::npos) {
      ipv4Seen = true;
      groups += 2;
      return IsIpv4(piece);
    }
    ++groups;
    return std::all_of(piece.begin(), piece.end(), IsHexDigit) && piece.size() <= 4;
  };
  if (gap == std::string_view::npos) {
    return EveryPiece(text, ':', group) && groups == 8;
  }
  const std::string_view before = text.substr(0, gap);
  const std::string_view after = text.substr(gap + 2);
  if (!after.empty() && !EveryPiece(after, ':', group)) {
    return false;
  }
  // The IPv4 form can only end the address.
  ipv4Seen = false;
  return (before.empty() || EveryPiece(before, ':', group)) && !ipv4Seen && groups <= 7;
}

bool IsLabel(std::string_view label) {
  return !label.empty() && label.size() <= kMaxLabelLength && label.front() != '-' &&
         label.back() != '-' && std::all_of(label.begin(), label.end(), [](char c) {
           return IsLetterOrDigit(c) || c == '-';
         });
}

// Labels joined by dots, one dot allowed at the end.
bool IsHostName(std::string_view name) {
  if (name.ends_with('.')) {
    name.remove_suffix(1);
  }
  return name.size() <= kMaxNameLength && EveryPiece(name, '.', IsLabel);
}

std::string NameProblem(std::string_view name) {
  if (name.empty()) {
    return "no host name";
  }
  if (name.front() == '[') {
    return name.size() > 2 && name.back() == ']' && IsIpv6(name.substr(1, name.size() - 2))
               ? ""
               : "not an IPv6 address in brackets";
  }
  if (name.find(':') != std::string_view::npos) {
    return "more than one ':'; an IPv6 address goes in brackets, as in [::1]:8730";
  }
  if (std::all_of(name.begin(), name.end(), [](char c) { return IsDigit(c) || c == '.'; })) {
    return IsIpv4(name) ? "" : "not an IPv4 address";
  }
  return IsHostName(name) ? "" : "not a host name (letters, digits, '-' and '.')";
}

bool HasSpaceOrControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
  });
}

// "0080" as "80"; a port of zeros only keeps one, to be refused as 0.
std::string_view WithoutLeadingZeros(std::string_view port) {
  while (port.size() > 1 && port.front() == '0') {
    port.remove_prefix(1);
  }
  return port;
}

HostAddress Refused(std::string problem) {
  return {{}, std::move(problem)};
}

}  // namespace

HostAddress CheckHostAddress(std::string_view text) {
  if (HasSpaceOrControl(text)) {
    return Refused("spaces and control characters are not allowed");
  }
  std::string value;
  std::string_view rest = text;
  const std::size_t scheme = rest.find("://");
  if (scheme != std::string_view::npos && scheme < rest.find('/')) {
    const std::string_view name = rest.substr(0, scheme);
    if (!EqualsNoCase(name, "http") && !EqualsNoCase(name, "https")) {
      return Refused("only http and https");
    }
    for (const char c : rest.substr(0, scheme + 3)) {
      value += LowerAscii(c);
    }
    rest.remove_prefix(scheme + 3);
  }
  const std::string_view path = rest.substr(std::min(rest.find('/'), rest.size()));
  std::string_view name = rest.substr(0, rest.size() - path.size());
  std::string_view port;
  // The port follows the last ':' that is not inside an IPv6 address's brackets.
  const std::size_t colon = name.rfind(':');
  if (colon != std::string_view::npos && (!name.starts_with('[') || colon > name.rfind(']'))) {
    port = name.substr(colon + 1);
    name = name.substr(0, colon);
    port = WithoutLeadingZeros(port);
    if (!std::all_of(port.begin(), port.end(), IsDigit) || !IsNumber(port, 5, 65535) ||
        port == "0") {
      return Refused("the port must be a number from 1 to 65535");
    }
  }
  if (std::string problem = NameProblem(name); !problem.empty()) {
    return Refused(std::move(problem));
  }
  value += name;
  if (!port.empty()) {
    value += ':';
    value += port;
  }
  value += path;
  return {std::move(value), {}};
}

}  // namespace pelmo
