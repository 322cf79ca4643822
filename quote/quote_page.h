// Reading one date window's table page into the job.
//
// The page is fetched through a PageSource, so that the reader can be run on canned pages;
// the document tree is built through a TreeParser, for the same reason.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "dates/serial_date.h"
#include "html/html_node.h"
#include "records/download_job.h"

namespace pelmo {

// What a page request gave.
struct PageResult {
  // The page in Shift_JIS, when `result` is ok.
  std::string text;
  // Ok with a page; otherwise why the page could not be had: NoAnswer when the service gave
  // no HTTP response at all (refused, timed out, reset, name not found), StatusNotOk for a
  // status other than 200, ... (see HttpFetcher::LastResult).
  Result result;
};

// Fetches a page by address.
class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual PageResult Get(const std::string& url) = 0;
  // From now on, make a single attempt per page (true) or the full count again (false).
  // Sources that make one attempt anyway may ignore it.
  virtual void SetSingleAttempt(bool /*single*/) {}
};

// Builds the document tree of `text` and calls `visit` once with its root, while the tree is
// alive; the tree is released when the call returns.
using TreeParser = std::function<void(std::string_view text,
                                      const std::function<void(const HtmlNode& root)>& visit)>;

// The table of a prepared page's tree: the first child of `body`; null when there is none.
const HtmlNode* FindTable(const HtmlNode& root);

// Requests the table page for the window from `first` to `last` and reads its rows into the
// job (records, splitEvents, columnCount, note rows on errorStream): the page is cut down to
// its data table, its `small` tags are removed, and the tree is walked from the root to the
// first child of `body`, which is the table. A page that cannot be fetched, or that answers
// with a status other than 200, adds nothing and its source's result is returned; a page
// without a table adds nothing and counts as fetched (ok). Rows that the page's checks
// refuse are not stored, and the result says so (see StorePageRows).
Result FetchQuotePage(DownloadJob& job, SerialDate first, SerialDate last, PageSource& source,
                      const TreeParser& parseTree);

}  // namespace pelmo
