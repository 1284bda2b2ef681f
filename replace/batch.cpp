#include "replace/batch.h"

#include <chrono>
#include <string>
#include <vector>

#include "app/file_list.h"
#include "app/window_port.h"
#include "replace/column_letters.h"
#include "replace/rewrite_cell.h"
#include "replace/used_range.h"
#include "spreadsheet/excel_component.h"
#include "text/encoding.h"
#include "text/text.h"

namespace {

// A click on the batch button while a batch runs arrives nested inside it
// (pending messages run after every cell); it must not start a second batch
// over the objects the first is using.
bool batch_running = false;

// How many failed files the end box names.
constexpr size_t kFailuresNamed = 5;

class RunningGuard {
 public:
  RunningGuard() {
    batch_running = true;
    MainWindow().SetBatchRunning(true);
  }
  ~RunningGuard() {
    batch_running = false;
    MainWindow().SetBatchRunning(false);
  }
  RunningGuard(const RunningGuard&) = delete;
  RunningGuard& operator=(const RunningGuard&) = delete;
};

struct FileOutcome {
  long long matched = 0;
  long long written = 0;
  bool opened = false;
  bool saved = false;
  std::string failure;
};

class Batch {
 public:
  Batch(const BatchOptions& options, bool empty_search_confirmed)
      : options_(options), empty_search_confirmed_(empty_search_confirmed) {}

  FileOutcome ProcessFile(const std::string& path) {
    FileOutcome out;
    path_ = &path;
    out_ = &out;
    if (!Excel程序1.CreateApplication()) {
      out.failure = Excel程序1.LastFailure();
      return out;
    }
    Excel工作簿1.AttachWorkbook(Excel程序1);
    Excel工作簿1.CloseWorkbooks();  // the blank workbook attaching added
    if (!Excel工作簿1.OpenWorkbook(path)) {
      out.failure = Excel工作簿1.LastFailure();
    } else {
      out.opened = true;
      Excel程序1.SetVisible(true);
      Excel程序1.ActivateWindow();
      int sheets = Excel工作簿1.SheetCount();
      for (int j = 1; j <= sheets; ++j) ScanSheet(j);
      FinishFile(&out);
    }
    Excel工作簿1.CloseWorkbooks();
    // The application was created for this file alone: let it go.
    Excel工作簿1.Release();
    Excel程序1.Quit();
    return out;
  }

 private:
  void ScanSheet(int j) {
    Excel工作簿1.SetCurrentSheet(j);
    sheet_name_known_ = false;
    int rows = CountUsedRows(Excel工作簿1, j);
    // The used range may start below and right of A1: scan from A1 to its
    // last row and column, not just as many rows and columns as it counts.
    int first_row = 1, first_column = 1;
    if (rows >= 1 && !Excel工作簿1.UsedRangeOrigin(&first_row, &first_column)) {
      first_row = 1;
      first_column = 1;
    }
    int last_row = rows >= 1 ? first_row + rows - 1 : rows;
    for (int k = 1; k <= last_row; ++k) {
      int columns = CountUsedColumns(Excel工作簿1, j);
      int last_column = columns >= 1 ? first_column + columns - 1 : columns;
      row_text_ = IntegerToText(k);
      for (int l = 1; l <= last_column; ++l) {
        VisitCell(j, l);
        MainWindow().RunPendingMessages();
      }
    }
    MainWindow().RunPendingMessages();
  }

  // The cell in column l of the row whose number is in row_text_.
  void VisitCell(int j, int l) {
    // The name is made once and serves both ends of the range; column letters
    // are made once a run, as every row names the same columns.
    cell_name_.assign(Letters(l));
    cell_name_.append(row_text_);
    Excel工作簿1.SetRangeStart(cell_name_);
    Excel工作簿1.SetRangeEnd(cell_name_);
    std::string text = Excel工作簿1.Content();
    std::string search = MainWindow().ReadContent(Control::编辑框3);
    // An empty search text matches every non-empty cell; only the user's
    // answer to the question at the start allows that, not a box emptied
    // while the batch runs.
    if (search.empty() && !empty_search_confirmed_) return;
    if (Find(text, search) == -1) return;
    std::string start = Excel工作簿1.RangeStart();
    std::string end = Excel工作簿1.RangeEnd();
    std::string replacement = MainWindow().ReadContent(Control::编辑框4);
    if (options_.observer != nullptr) {
      if (!sheet_name_known_) {
        sheet_name_ = Excel工作簿1.CurrentSheetName();
        sheet_name_known_ = true;
      }
      options_.observer->CellMatched(*path_, sheet_name_, start, text);
    }
    ++out_->matched;
    if (!options_.dry_run) RewriteCell(start, end, j, replacement);
  }

  void FinishFile(FileOutcome* out) {
    if (options_.dry_run || out->matched == 0) return;
    int written = Excel工作簿1.CellsRewritten();
    out->written = written;
    if (written < out->matched) {
      out->failure = IntegerToText(static_cast<int32_t>(out->matched - written)) + " of " +
                     IntegerToText(static_cast<int32_t>(out->matched)) + " matching cells could not be rewritten" +
                     (Excel工作簿1.LastFailure().empty() ? "" : " (" + Excel工作簿1.LastFailure() + ")");
    }
    if (written == 0) return;  // nothing changed: the file keeps its bytes
    if (!Excel工作簿1.SaveWorkbook()) {
      std::string why = "could not be saved: " + Excel工作簿1.LastFailure();
      out->failure = out->failure.empty() ? why : out->failure + "; " + why;
      // Closing the rest must not stop at the application's save prompt.
      Excel工作簿1.DiscardWorkbook();
      return;
    }
    out->saved = true;
    if (options_.wait_after_save_ms > 0) {
      // Let the window live while the application settles after the save.
      auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.wait_after_save_ms);
      while (std::chrono::steady_clock::now() < deadline) MainWindow().RunPendingMessages();
    }
  }

  const std::string& Letters(int column) {
    // A sheet has at most 16,384 columns; a server claiming more gets names
    // made on the spot rather than a table that large.
    if (column > 16384) {
      odd_letters_ = ColumnLetters(column);
      return odd_letters_;
    }
    size_t at = static_cast<size_t>(column);
    if (at >= letters_.size()) {
      size_t known = letters_.size();
      letters_.resize(at + 1);
      for (size_t c = known; c <= at; ++c) letters_[c] = ColumnLetters(static_cast<int>(c));
    }
    return letters_[at];
  }

  const BatchOptions& options_;
  bool empty_search_confirmed_;
  std::vector<std::string> letters_;  // ColumnLetters by column number
  std::string odd_letters_;
  std::string row_text_;
  std::string cell_name_;
  const std::string* path_ = nullptr;
  FileOutcome* out_ = nullptr;
  bool sheet_name_known_ = false;
  std::string sheet_name_;
};

std::string EndText(const BatchReport& report) {
  std::string text = FromUtf8("已经完毕！");
  if (report.failures.empty()) return text;
  text += FromUtf8("\n\n有 ") + IntegerToText(static_cast<int32_t>(report.failures.size())) +
          FromUtf8(" 个文件未能打开或保存：");
  for (size_t i = 0; i < report.failures.size() && i < kFailuresNamed; ++i) {
    text += "\n" + report.failures[i].path + FromUtf8("：") + report.failures[i].reason;
  }
  if (report.failures.size() > kFailuresNamed) text += FromUtf8("\n……");
  return text;
}

}  // namespace

BatchReport RunBatch(const BatchOptions& options) {
  BatchReport report;
  if (batch_running) {
    report.ignored = true;
    return report;
  }
  bool confirmed = !options.ask_on_empty_search;
  if (options.ask_on_empty_search && MainWindow().ReadContent(Control::编辑框3).empty()) {
    int answer = MainWindow().ShowMessage(
        FromUtf8("“预换”框是空的：这会把每个文件里所有不空的单元格都换成“换为”框里的文字。\n确定要这样做吗？"),
        FromUtf8("信息："), kMbOkCancel | kMbIconWarning | kMbDefButton2 | kMbTaskModal);
    if (answer != kIdOk) {
      report.ignored = true;
      return report;
    }
    confirmed = true;
  }

  RunningGuard guard;
  Batch batch(options, confirmed);
  MainWindow().WriteCaption("1");
  int count = FileList.Count();
  report.files = count;
  for (int i = 1; i <= count; ++i) {
    std::string path = FileList.At(i);
    if (options.observer != nullptr) options.observer->FileStarted(i, count, path);
    FileOutcome out = batch.ProcessFile(path);
    // Cells count only where they reached the disk (or would have): the cells
    // of a workbook that could not be saved were rewritten in memory alone.
    long long cells = options.dry_run ? (out.opened ? out.matched : 0) : (out.saved ? out.written : 0);
    report.cells_rewritten += cells;
    if (!out.failure.empty()) report.failures.push_back(BatchFailure{path, out.failure});
    if (out.opened && out.matched == 0) {
      ++report.unchanged;
    } else if (out.opened && (out.saved || options.dry_run)) {
      ++report.changed;
    }
    BumpTitleCounter();
    if (options.observer != nullptr) {
      options.observer->FileFinished(i, path, static_cast<int>(cells), out.failure);
    }
  }
  if (options.show_end_box) {
    MainWindow().ShowMessage(EndText(report), FromUtf8("信息："),
                             (report.failures.empty() ? kMbOk : kMbIconWarning) | kMbTaskModal);
  }
  return report;
}

void RunBatchReplace() {
  BatchOptions options;
  options.wait_after_save_ms = 500;
  RunBatch(options);
}
