#include "app/codes/codes_run.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/codes/codes_list.h"
#include "app/codes/codes_report.h"
#include "app/codes/codes_system.h"
#include "app/download/date_windows.h"
#include "app/download/download_driver.h"
#include "app/failure_message.h"
#include "app/output/existing_file.h"
#include "app/output/output_target.h"
#include "platform/platform.h"
#include "quote/http_page_source.h"
#include "quote/page_tree.h"

namespace pelmo {
namespace {

// Thrown at a code's next request once the run is asked to stop, so that the code is given
// up before anything of it is written.
struct CodeAbandoned {};

enum class CodeState { Waiting, Done, Abandoned };

struct CodeOutcome {
  CodeState state = CodeState::Waiting;
  int exitCode = 0;
  std::string name;  // the code as downloaded; a refused line's code as shown
  std::vector<std::string> failureLines;
  bool refused = false;
};

bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(
      std::filesystem::path(std::u8string(path.begin(), path.end())), error);
}

std::string OutputPathIn(const std::string& folder, const std::string& code) {
  if (folder.empty()) {
    return DefaultOutputPath(code);
  }
  const bool separated = folder.back() == '/' || folder.back() == '\\';
  return folder + (separated ? "" : "/") + DefaultOutputPath(code);
}

std::string WindowText(const DateWindow& window) {
  return Format(window.first, "%Y/%m/%d") + "-" + Format(window.last, "%Y/%m/%d");
}

class CodesRun;

// One job's page source: the kept connections of its codes, one after another. It tells the
// run which window is asked for, and gives a code up at its next request once the run is
// asked to stop.
class JobPages : public PageSource {
 public:
  JobPages(CodesRun& run, const CodesStopRequest& stop);

  // Starts the next code: the full count of attempts again, and its windows for the status.
  void Begin(const DownloadJob& job) {
    code_ = job.code;
    windows_ = BuildWindows(job.start, job.end, job.period);
    next_ = 0;
    pages_.SetSingleAttempt(false);
  }

  PageResult Get(const std::string& url) override;
  void SetSingleAttempt(bool single) override { pages_.SetSingleAttempt(single); }

 private:
  static HttpFetchOptions Options(const CodesStopRequest& stop) {
    HttpFetchOptions options = ProgramFetchOptions();
    options.onAttempt = [&stop](int attempt) {
      if (attempt > 1 && stop.Requested()) {
        throw CodeAbandoned{};
      }
    };
    return options;
  }

  CodesRun& run_;
  const CodesStopRequest& stop_;
  HttpPageSource pages_;
  std::string code_;
  std::vector<DateWindow> windows_;
  std::size_t next_ = 0;
};

class CodesRun {
 public:
  CodesRun(const DownloadJob& options, std::vector<ListedCode> list, std::FILE* errors,
           TerminalDisplay* display, const CodesStopRequest& stop)
      : options_(options),
        list_(std::move(list)),
        outcomes_(list_.size()),
        errors_(errors),
        display_(display),
        stop_(stop) {}

  int Run(int jobs) {
    std::size_t toDownload = 0;
    for (std::size_t i = 0; i < list_.size(); ++i) {
      CodeOutcome& outcome = outcomes_[i];
      if (list_[i].refusal.empty()) {
        outcome.name = NormalizeCode(list_[i].code);
        ++toDownload;
        continue;
      }
      outcome = {CodeState::Done, 1, Printable(list_[i].code), {list_[i].refusal}, true};
      ++failed_;
      if (display_ == nullptr) {
        Write(list_[i].refusal + "\n");
      }
    }
    ShowStatus();
    std::vector<std::thread> threads;
    const std::size_t jobCount = std::min(static_cast<std::size_t>(jobs), toDownload);
    for (std::size_t i = 0; i < jobCount; ++i) {
      threads.emplace_back([this] { Job(); });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    return Close();
  }

  // What the person is shown: the code and window asked for last.
  void Asking(std::string text) {
    if (display_ == nullptr) {
      return;
    }
    const std::lock_guard<std::mutex> hold(mutex_);
    latest_ = std::move(text);
    ShowStatus();
  }

 private:
  // Takes codes in list order until there are none or the run is asked to stop.
  void Job() {
    JobPages pages(*this, stop_);
    for (;;) {
      const std::size_t index = next_.fetch_add(1);
      if (index >= list_.size() || stop_.Requested()) {
        return;
      }
      if (!outcomes_[index].refused) {
        RunCode(index, pages);
      }
    }
  }

  void RunCode(std::size_t index, JobPages& pages) {
    CodeOutcome& outcome = outcomes_[index];
    DownloadJob job = options_;
    job.code = outcome.name;
    job.outputPath = OutputPathIn(options_.outputPath, job.code);
    CodeLines lines(
        job.code, display_ != nullptr ? std::function<void(std::string_view)>()
                                      : [this](std::string_view bytes) { Write(bytes); });
    {
      TerminalStream stream =
          OpenFeedStream([&lines](std::string_view bytes) { lines.Feed(bytes); });
      std::FILE* messages = stream ? stream.get() : display_ != nullptr ? nullptr : errors_;
      job.errorStream = messages;
      try {
        outcome.exitCode = Download(job, pages, messages);
        outcome.state = CodeState::Done;
      } catch (const CodeAbandoned&) {
        outcome.state = CodeState::Abandoned;
      }
    }
    lines.Finish();
    outcome.failureLines = lines.failureLines();
    const std::lock_guard<std::mutex> hold(mutex_);
    if (outcome.state == CodeState::Done) {
      ++done_;
      failed_ += outcome.exitCode != 0 ? 1 : 0;
    }
    ShowStatus();
  }

  // The single run's steps for one code: its file found, read and locked before its first
  // request.
  static int Download(DownloadJob& job, JobPages& pages, std::FILE* messages) {
    OutputTarget output;
    const Result found = OpenAndReadOutput(job, output);
    if (!found.ok()) {
      ReportFailure(messages, found);
      return ExitCode(found);
    }
    pages.Begin(job);
    return RunDownload(job, pages, ParseQuotePageTree, messages, output);
  }

  // Whole lines at once, so that the lines of codes running together never mix.
  void Write(std::string_view lines) {
    const std::lock_guard<std::mutex> hold(writeMutex_);
    WriteMessage(errors_, lines);
  }

  // Under mutex_, or before the jobs start.
  void ShowStatus() {
    if (display_ != nullptr) {
      display_->SetStatus(CodesStatusText(done_, list_.size(), failed_, latest_));
    }
  }

  // The closing lines and the exit code.
  int Close() {
    std::vector<std::string> failed;
    std::vector<std::string> notDone;
    std::string closing;
    int exitCode = 0;
    for (const CodeOutcome& outcome : outcomes_) {
      if (outcome.state != CodeState::Done) {
        notDone.push_back(outcome.name);
      } else if (outcome.exitCode != 0) {
        failed.push_back(outcome.name);
        exitCode = exitCode != 0 ? exitCode : outcome.exitCode;
        if (display_ != nullptr) {
          closing += (outcome.refused
                          ? outcome.failureLines.front()
                          : FailedCodeLine(outcome.name, outcome.failureLines, outcome.exitCode)) +
                     "\n";
        }
      }
    }
    if (!notDone.empty()) {
      closing += CodesNotDoneLine(notDone, list_.size()) + "\n";
    }
    // A person is told the total even when nothing failed; a script reads the exit code.
    if (!failed.empty() || display_ != nullptr) {
      closing += CodesFailedLine(failed, list_.size()) + "\n";
    }
    if (display_ != nullptr) {
      display_->Finish(closing);
    } else if (!closing.empty()) {
      Write(closing);
    }
    return notDone.empty() ? exitCode : stop_.ExitCode();
  }

  const DownloadJob& options_;
  const std::vector<ListedCode> list_;
  // Each code's outcome is written by the job that runs it, read once the jobs are over.
  std::vector<CodeOutcome> outcomes_;
  std::FILE* errors_;
  TerminalDisplay* display_;
  const CodesStopRequest& stop_;
  std::atomic<std::size_t> next_{0};
  std::mutex writeMutex_;
  std::mutex mutex_;  // the counts and the status
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  std::string latest_;
};

JobPages::JobPages(CodesRun& run, const CodesStopRequest& stop)
    : run_(run), stop_(stop), pages_(Options(stop)) {}

PageResult JobPages::Get(const std::string& url) {
  if (stop_.Requested()) {
    throw CodeAbandoned{};
  }
  if (next_ < windows_.size()) {
    run_.Asking(code_ + " " + WindowText(windows_[next_]));
  }
  ++next_;
  return pages_.Get(url);
}

}  // namespace

int RunCodeList(const DownloadJob& options, const CodesOptions& codes, std::FILE* errors,
                const std::function<void()>& printUsage) {
  std::vector<ListedCode> list;
  Result refused = LoadCodeList(codes.listPath, list);
  if (refused.ok() && !options.outputPath.empty() && !IsFolder(options.outputPath)) {
    refused =
        About(Failure(Reason::BadSetting, "not a folder"), "-o value '" + options.outputPath + "'");
  }
  if (!refused.ok()) {
    ReportFailure(errors, refused);
    printUsage();
    return ExitCode(refused);
  }
  const CodesStopRequest stop;
  return WithPersonScreen(errors, [&](TerminalDisplay* display) {
    return CodesRun(options, std::move(list), errors, display, stop).Run(codes.jobs);
  });
}

}  // namespace pelmo
