#pragma once
// The batch replacement over FileList, for the window's batch button and the console.

#include <string>
#include <vector>

struct BatchFailure {
  std::string path;
  std::string reason;
};

struct BatchReport {
  int files = 0;            // files in the run (FileList's count at its start)
  int changed = 0;          // files with at least one rewritten cell, saved (or that would be, dry run)
  int unchanged = 0;        // files opened, no cell matched, not written
  long long cells_rewritten = 0;
  std::vector<BatchFailure> failures;  // files that could not be opened or saved
  bool ignored = false;     // a batch was already running, or the user cancelled
};

class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  virtual void FileStarted(int /*number*/, int /*count*/, const std::string& /*path*/) {}
  // A cell about to be rewritten (or that would be, in a dry run).
  virtual void CellMatched(const std::string& /*path*/, const std::string& /*sheet*/,
                           const std::string& /*cell*/, const std::string& /*old_text*/) {}
  virtual void FileFinished(int /*number*/, const std::string& /*path*/, int /*cells*/,
                            const std::string& /*failure*/) {}
};

struct BatchOptions {
  bool dry_run = false;              // everything but the save
  bool ask_on_empty_search = true;   // OK/Cancel box before running with an empty search text
  bool show_end_box = true;          // "已经完毕！" at the end
  BatchObserver* observer = nullptr;
  // After each save, let window messages run this long before closing (the
  // window's button keeps the half second it always gave the application).
  int wait_after_save_ms = 0;
};

// The batch button's handler.
void RunBatchReplace();

// The batch itself: the loops over FileList, with the options and a report.
BatchReport RunBatch(const BatchOptions& options);
