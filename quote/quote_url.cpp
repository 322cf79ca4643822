#include "quote/quote_url.h"

#include "base/ascii.h"

namespace pelmo {
namespace {

struct DateParts {
  int year;
  int month;
  int day;
};

DateParts PartsOf(SerialDate date) {
  return {Year(date), Month(date), Day(date)};
}

std::string Number(int value) {
  return std::to_string(value);
}

bool IsUnreserved(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
         (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

}  // namespace

void AppendQueryValue(std::string& url, std::string_view value) {
  constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0x0F];
    }
  }
}

std::string ServiceBase(std::string_view host) {
  std::string base;
  if (!StartsWithNoCase(host, "http://") && !StartsWithNoCase(host, "https://")) {
    base = "http://";
  }
  base += host;
  const std::size_t schemeEnd = base.find("://") + 3;
  while (base.size() > schemeEnd && base.back() == '/') {
    base.pop_back();
  }
  return base;
}

std::string BuildQuoteUrl(const DownloadJob& job, SerialDate first, SerialDate last) {
  const DateParts start = PartsOf(first);
  const DateParts end = PartsOf(last);
  // Appended piece by piece into one string: an address per window, and the pieces are short.
  std::string url = ServiceBase(job.host);
  url.reserve(url.size() + 96 + 6 * job.code.size());
  const auto field = [&url](std::string_view key, int value) {
    url += key;
    url += Number(value);
  };
  if (job.margin) {
    url += "/bt?s=";
    AppendQueryValue(url, job.code);
    field("&a=", start.month);
    field("&b=", start.day);
    field("&c=", start.year);
    field("&d=", end.month);
    field("&e=", end.day);
    field("&f=", end.year);
  } else {
    field("/t?c=", start.year);
    field("&a=", start.month);
    field("&b=", start.day);
    field("&f=", end.year);
    field("&d=", end.month);
    field("&e=", end.day);
    url += "&g=";
    url += static_cast<char>(job.period);
    url += "&s=";
    AppendQueryValue(url, job.code);
    url += "&y=0&z=";
    AppendQueryValue(url, job.code);
  }
  return url;
}

}  // namespace pelmo
