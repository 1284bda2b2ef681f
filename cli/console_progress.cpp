#include "cli/console_progress.h"

#include "cli/console_text.h"
#include "text/encoding.h"

ConsoleProgress::ConsoleProgress(std::FILE* out, bool terminal, int columns, bool quiet, bool dry_run)
    : out_(out), terminal_(terminal), columns_(columns > 20 ? columns : 80), quiet_(quiet), dry_run_(dry_run) {}

void ConsoleProgress::FileStarted(int number, int count, const std::string& path) {
  number_ = number;
  count_ = count;
  path_ = ToUtf8(path);
  if (quiet_) return;
  if (terminal_) {
    Draw();
  } else {
    Line(std::to_string(number) + "/" + std::to_string(count) + " " + path_);
  }
}

void ConsoleProgress::CellMatched(const std::string& path, const std::string& sheet, const std::string& cell,
                                  const std::string& old_text) {
  if (quiet_ || !dry_run_) return;
  ClearLine();
  Line("  would rewrite: " + ToUtf8(path) + " | " + ToUtf8(sheet) + " | " + cell + " | " +
       OneLine(ToUtf8(old_text)));
  if (terminal_) Draw();
}

void ConsoleProgress::FileFinished(int, const std::string& path, int, const std::string& failure) {
  if (quiet_ || failure.empty()) return;
  ClearLine();
  Line("  failed: " + ToUtf8(path) + ": " + ToUtf8(failure));
  if (terminal_) Draw();
}

void ConsoleProgress::Finish() {
  if (terminal_ && drawn_ > 0) WriteText(out_, "\n");
  drawn_ = 0;
  std::fflush(out_);
}

void ConsoleProgress::Draw() {
  const int bar = 20;
  int filled = count_ > 0 ? static_cast<int>(static_cast<long long>(bar) * number_ / count_) : bar;
  std::string line = "[" + std::string(filled, '#') + std::string(bar - filled, '-') + "] " +
                     std::to_string(number_) + "/" + std::to_string(count_) + " ";
  line += FitTail(path_, columns_ - 1 - DisplayWidth(line));
  int width = DisplayWidth(line);
  // Blanks over what is left of a longer line drawn before.
  std::string padding(drawn_ > width ? drawn_ - width : 0, ' ');
  WriteText(out_, "\r" + line + padding);
  std::fflush(out_);
  drawn_ = width;
}

void ConsoleProgress::ClearLine() {
  if (!terminal_ || drawn_ == 0) return;
  WriteText(out_, "\r" + std::string(drawn_, ' ') + "\r");
  drawn_ = 0;
}

void ConsoleProgress::Line(const std::string& utf8) {
  WriteText(out_, utf8 + "\n");
  if (!terminal_) std::fflush(out_);
}

std::string FormatSummary(const BatchReport& report, bool dry_run) {
  std::string s;
  s += "files processed: " + std::to_string(report.files) + "\n";
  s += std::string(dry_run ? "cells that would be rewritten: " : "cells rewritten: ") +
       std::to_string(report.cells_rewritten) + "\n";
  s += std::string(dry_run ? "files that would change: " : "files changed: ") + std::to_string(report.changed) +
       "\n";
  s += "files unchanged: " + std::to_string(report.unchanged) + "\n";
  s += "files failed: " + std::to_string(report.failures.size()) + "\n";
  for (const BatchFailure& f : report.failures) s += "  " + ToUtf8(f.path) + ": " + ToUtf8(f.reason) + "\n";
  if (dry_run) s += "dry run: no file was written\n";
  s += "已经完毕！\n";
  return s;
}
