// A run over a list of codes (--codes): every code is downloaded as if it had been given
// alone with the same options, into its own file in the folder given with -o (the current
// one without), with its own backup, lock, checks and exit code. A job (thread) takes one
// code after another over one set of kept connections; --jobs runs several such jobs.
#pragma once

#include <cstdio>
#include <functional>

#include "app/command_line.h"
#include "records/download_job.h"

namespace pelmo {

// Reads the list and downloads its codes with the settings of `options` (its output path
// the folder, or empty). A list that cannot be read or holds no code, and an -o that is not
// a folder, are refused with their line on `errors`, then `printUsage`, exit code 1.
//
// On `errors` when it is not a person's screen, every line of a code begins with the code
// and a tab, written whole; a refused line of the list says "pelmo: line 12: bad code '../x'".
// On a terminal, one status line for the run, and at its end a line for each failed code.
// When any code failed, the last line is "pelmo: 3 of 1000 codes failed: 1234.t ...".
// Returns 0 when every code succeeded, else the exit code of the first failed one in list
// order; an interrupted run names the codes not done and returns the interrupt's code.
int RunCodeList(const DownloadJob& options, const CodesOptions& codes, std::FILE* errors,
                const std::function<void()>& printUsage);

}  // namespace pelmo
