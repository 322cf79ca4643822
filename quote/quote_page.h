// Reading one date window's table page into the job.
//
// The page is fetched through a PageSource, so that the reader can be run on canned pages;
// the document tree is built through a TreeParser, for the same reason.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/dates/serial_date.h"
#include "app/records/download_job.h"
#include "html/html_node.h"

namespace pelmo {

// What a page request gave.
struct PageResult {
  // The page in Shift_JIS; null when nothing could be fetched, empty when the service
  // answered with a status other than 200.
  std::optional<std::string> text;
  // Empty when the service answered 200; otherwise why the page could not be had, as a
  // short phrase for a message ("connection refused", "HTTP status 404").
  std::string failure;
  // True when the service gave no HTTP response at all (refused, timed out, reset, name not
  // found); a status other than 200 or a broken body is an answer.
  bool noAnswer = false;
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

// What FetchQuotePage did with a window.
struct [[nodiscard]] PageOutcome {
  bool fetched = true;    // false: the page could not be had and added nothing
  std::string failure;    // why, when not fetched
  bool noAnswer = false;  // not fetched because the service gave no HTTP response at all
};

// Requests the table page for the window from `first` to `last` and reads its rows into the
// job (records, splitEvents, columnCount, note rows on errorStream): the page is cut down to
// its data table, its `small` tags are removed, and the tree is walked from the root to the
// first child of `body`, which is the table. A page that cannot be fetched, or that answers
// with a status other than 200, adds nothing and is reported in the outcome; a page without
// a table adds nothing and counts as fetched.
PageOutcome FetchQuotePage(DownloadJob& job, SerialDate first, SerialDate last, PageSource& source,
                           const TreeParser& parseTree);

}  // namespace pelmo
