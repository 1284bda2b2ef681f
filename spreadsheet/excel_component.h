#pragma once
// The spreadsheet component: the application object (Excel程序1) and the
// workbook object (Excel工作簿1) through which the batch drives a spreadsheet
// application, written once over the late-bound seam.
//
// Failures are swallowed: a failed call leaves every held reference as it was,
// an operation whose object is not held makes no call, and a read of a missing
// object gives 0 or the empty text. The last failure's reason is kept for
// reporting.
//
// Against an out-of-process server every call is a round trip, so the
// workbook object keeps what it can: a sheet's values are read once, as one
// array of the used range, and Content is served from them (kept true across
// the object's own writes; only the current sheet's are kept); the range named by RangeStart/RangeEnd is built
// only when a write needs it; re-selecting the current sheet and reading back
// the position it chose cost nothing.

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "spreadsheet/late_bound.h"
#include "spreadsheet/variant.h"

class ExcelApp {
 public:
  // Releases the application held (without quitting it) and creates a new
  // one. False, with the reason in LastFailure(), when none can be had.
  bool CreateApplication();
  // Application.Visible := visible.
  void SetVisible(bool visible);
  // ActiveWindow.Activate, when there is an active window.
  void ActivateWindow();
  // Application.SendKeys(keys, wait).
  void SendKeys(const std::string& keys, int wait);
  // Application.Quit, then releases the application.
  void Quit();
  // Releases the application without quitting it.
  void Release();

  const ObjectRef& Application() const { return app_; }
  const std::string& LastFailure() const { return last_failure_; }

 private:
  ObjectRef app_;
  std::string last_failure_;
};

class ExcelWorkbooks {
 public:
  // Releases all it holds and empties RangeStart/RangeEnd; then Workbooks :=
  // app's Workbooks, Workbooks.Add, Sheets := app's Sheets, current sheet :=
  // item 1 of Sheets.
  void AttachWorkbook(const ExcelApp& app);
  // Workbooks.Close: closes every open workbook; references stay held.
  void CloseWorkbooks();
  // Workbooks.Open(path); on success holds that workbook and its Sheets
  // (current sheet and range stay as they were). False, with the reason in
  // LastFailure(), otherwise.
  bool OpenWorkbook(const std::string& path);
  // The held workbook's own Save. False, with the reason, on failure.
  bool SaveWorkbook();
  // Releases every reference held, as AttachWorkbook does first.
  void Release();

  // Sheets.Count.
  int SheetCount();
  // current sheet := item n of Sheets.
  void SetCurrentSheet(int n);
  // The current sheet's Index.
  int CurrentSheet();
  // The current sheet itself (shared with this object), empty if none.
  ObjectRef GetCurrentSheet();
  // The current sheet's Name (for reporting).
  std::string CurrentSheetName();

  void SetRangeStart(const std::string& name);
  // Needs a current sheet: stored, then current range := Range(RangeStart, RangeEnd).
  void SetRangeEnd(const std::string& name);
  // The stored texts while a current range is held, else empty.
  std::string RangeStart() const;
  std::string RangeEnd() const;

  // The text of the one cell named by RangeStart on the current sheet.
  std::string Content();
  // current range's Value := text.
  void SetContent(const std::string& text);
  void SetHorizontalAlignment(int alignment);
  void SetShrinkToFit(bool shrink);

  // First row and column of the current sheet's used range, from the values
  // read for Content (read now if not yet). False when they cannot be had.
  bool UsedRangeOrigin(int* first_row, int* first_column);

  // Whether a cell of the held workbook was rewritten since it was opened,
  // and how many Content writes it took.
  bool CellRewritten() const { return rewritten_ > 0; }
  int CellsRewritten() const { return rewritten_; }
  // Closes the held workbook without saving it, so that closing the rest
  // cannot stop at a save prompt.
  void DiscardWorkbook();
  const std::string& LastFailure() const { return last_failure_; }

 private:
  struct Cell {
    int row;
    int column;
    bool operator<(const Cell& o) const { return row != o.row ? row < o.row : column < o.column; }
  };
  // What is known of one sheet's values.
  struct SheetValues {
    ObjectRef sheet;  // keeps the key's object alive
    bool loaded = false;
    bool ok = false;
    int first_row = 0;
    int first_column = 0;
    Variant values;                       // the used range's values; rows x cols array
    std::map<Cell, Variant> overrides;    // cells read or known since
    std::set<Cell> stale;                 // written by us, to be read again when asked
  };

  void ForgetSheets();
  void Fail(const std::string& why) { last_failure_ = why; }
  SheetValues* ValuesOf(const ObjectRef& sheet);
  // Builds the range RangeEnd asked for, when a write needs it.
  void BuildPendingRange();
  void NoteWritten();
  bool ReadCellValue(const ObjectRef& sheet, const std::string& name, Variant* value);
  std::string ReadCellDirect(const ObjectRef& sheet, const std::string& name);

  ObjectRef workbooks_, workbook_, sheets_, sheet_, range_;
  int sheet_index_ = 0;  // position of sheet_ in sheets_ when we chose it; 0 unknown
  std::string range_start_, range_end_;
  // RangeStart as parsed when it was set, so the reads and writes that follow
  // do not parse the same name again.
  bool start_parsed_ = false;
  int start_row_ = 0, start_column_ = 0;
  bool range_held_ = false;
  // A range asked for but not built yet.
  bool pending_ = false;
  ObjectRef pending_sheet_;
  std::string pending_start_, pending_end_;
  // The sheet and names of range_, so a write knows which cells it changed.
  ObjectRef range_sheet_;
  std::string built_start_, built_end_;

  // Only the current sheet's values are kept: the batch reads one sheet after
  // another, and a workbook's worth of arrays at once costs memory for nothing.
  SheetValues values_;
  int rewritten_ = 0;
  std::string last_failure_;
};

extern ExcelApp Excel程序1;
extern ExcelWorkbooks Excel工作簿1;

// Where CreateApplication gets a new application: CreateSpreadsheetApplication
// unless a test sets its own factory (an empty function restores the default).
using ApplicationFactory = std::function<ObjectRef(std::string* why)>;
void SetApplicationFactory(ApplicationFactory factory);

// A number read from the spreadsheet (integer, real, logical, numeric text).
bool VariantToReal(const Variant& v, double* out);
