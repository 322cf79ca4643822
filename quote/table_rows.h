// Reads the rows of one price or margin table into the job.
//
// Any child of the table node is a row and any text node below a row is a cell; element
// names play no part. The first row of a page is its header and is dropped. A later row of
// three or more cells is a data row: its first cell is the date and the next six are values.
// A row of two cells or fewer is a note: it is echoed on the job's errorStream, and a split
// note ("<date>", "分割: <before> -> <after>" in Shift_JIS) also becomes a SplitEvent.
//
// Cell texts get their CR and LF bytes turned into spaces. The first text of every row is
// rewritten as a date: the numbers before "年", "月" and "日" become "YYYY/MM/DD" (a missing
// "日" gives day 1, so a monthly "2007年1月" reads as 2007/01/01; a text without these
// characters gives "0000/00/01", an invalid date). Every later text loses its commas.
#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "html/html_node.h"
#include "quote/page_rows.h"
#include "records/download_job.h"

namespace pelmo {

// Visits `node` and its subtree, `depth` being the node's depth below the table (0 for the
// table node), and collects what the completed rows hold:
// - data rows go to `page.rows`, to be checked and stored by StorePageRows; cells after
//   the seventh are dropped; values are held as the decimal text's double;
// - note rows are written to the job's `errorStream` as their cells joined by "," and
//   CR LF, in one write; control bytes other than TAB are written as spaces; a null stream
//   writes nothing;
// - split notes go to `page.splits`.
// `cells` holds the texts of the row being read and `headerPending` says that the page's
// first row has not ended yet; both carry over between calls for the same page. The walk
// uses no recursion, so a deep tree cannot exhaust the stack. A null node does nothing.
void ReadTableRows(const DownloadJob& job, PageRows& page, std::vector<std::string>& cells,
                   const HtmlNode* node, int depth, bool& headerPending);

// Reads a whole page's table (a fresh cell list, depth 0 and the header pending) and stores
// its rows with StorePageRows: ok, or the rows that were not stored. Data rows replace the
// first record of the same date in `records`; `columnCount` becomes the larger of its
// value and the row's value count, so it never drops within a run; `splitEvents` keeps one
// of identical notes.
Result ReadTable(DownloadJob& job, const HtmlNode* table, const PageWindow* window);

}  // namespace pelmo
