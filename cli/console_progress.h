#pragma once
// Progress of the batch on the console: on a terminal one line redrawn with a
// bar, in a pipe one plain line per file; in a dry run, the cells that would change.

#include <cstdio>
#include <string>

#include "replace/batch.h"

class ConsoleProgress : public BatchObserver {
 public:
  // columns: the terminal's width when terminal is true.
  ConsoleProgress(std::FILE* out, bool terminal, int columns, bool quiet, bool dry_run);

  void FileStarted(int number, int count, const std::string& path) override;
  void CellMatched(const std::string& path, const std::string& sheet, const std::string& cell,
                   const std::string& old_text) override;
  void FileFinished(int number, const std::string& path, int cells, const std::string& failure) override;
  // Ends the redrawn line.
  void Finish();

 private:
  void Draw();
  void ClearLine();
  void Line(const std::string& utf8);

  std::FILE* out_;
  bool terminal_;
  int columns_;
  bool quiet_;
  bool dry_run_;
  int number_ = 0;
  int count_ = 0;
  std::string path_;  // UTF-8
  int drawn_ = 0;     // columns of the progress line now on screen
};

// The closing lines: counts, each failure with its reason, and the end text.
std::string FormatSummary(const BatchReport& report, bool dry_run);
