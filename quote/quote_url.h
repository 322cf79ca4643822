// Addresses of the quote service's table pages.
#pragma once

#include <string>
#include <string_view>

#include "dates/serial_date.h"
#include "records/download_job.h"

namespace pelmo {

// The service base from a host setting of the form [http://|https://]host[:port][/prefix]:
// "http://" is added when no scheme is given, and trailing slashes are dropped so that a
// path can be appended.
std::string ServiceBase(std::string_view host);

// The address of the table page for the window from `first` to `last`: the price table
// ("/t", with the job's period and code) or, with `margin`, the margin table ("/bt").
// Each date is sent as year, month and day, all -1 when the date is not valid. The code is
// percent-encoded (AppendQueryValue), so that no code can end a value or add a key.
std::string BuildQuoteUrl(const DownloadJob& job, SerialDate first, SerialDate last);

// Appends `value` with every byte other than a letter, a digit, '-', '.', '_' and '~'
// written as '%' and two uppercase hexadecimal digits.
void AppendQueryValue(std::string& url, std::string_view value);

}  // namespace pelmo
