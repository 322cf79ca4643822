#include "quote/quote_url.h"

#include "net/ascii_case.h"

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

}  // namespace

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
  std::string url = ServiceBase(job.host);
  if (job.margin) {
    url += "/bt?s=" + job.code + "&a=" + Number(start.month) + "&b=" + Number(start.day) +
           "&c=" + Number(start.year) + "&d=" + Number(end.month) + "&e=" + Number(end.day) +
           "&f=" + Number(end.year);
  } else {
    url += "/t?c=" + Number(start.year) + "&a=" + Number(start.month) + "&b=" + Number(start.day) +
           "&f=" + Number(end.year) + "&d=" + Number(end.month) + "&e=" + Number(end.day) +
           "&g=" + static_cast<char>(job.period) + "&s=" + job.code + "&y=0&z=" + job.code;
  }
  return url;
}

}  // namespace pelmo
