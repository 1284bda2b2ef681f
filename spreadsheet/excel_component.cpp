#include "spreadsheet/excel_component.h"

#include <cstdlib>

#include "spreadsheet/application_source.h"
#include "spreadsheet/value_text.h"
#include "spreadsheet/xlsx/cell_ref.h"
#include "text/text.h"

ExcelApp Excel程序1;
ExcelWorkbooks Excel工作簿1;

namespace {

ApplicationFactory& Factory() {
  static ApplicationFactory factory;
  return factory;
}

// A late-bound read that must give an object.
bool GetObject(const ObjectRef& from, const std::string& name, const std::vector<Variant>& args, ObjectRef* out,
               std::string* why) {
  Variant v;
  if (!from->Get(name, args, &v, why)) return false;
  if (v.kind != VariantKind::Object || !v.object) {
    if (why != nullptr) *why = name + " gave no object";
    return false;
  }
  *out = v.object;
  return true;
}

int ToInteger(const Variant& v) {
  double d = 0;
  return VariantToReal(v, &d) ? RealToInteger(d) : 0;
}

// Reading many cells one at a time would cost a round trip each; a write to
// more cells than this forgets the sheet's values instead of marking them.
constexpr long long kMostCellsMarked = 4096;

}  // namespace

bool VariantToReal(const Variant& v, double* out) {
  switch (v.kind) {
    case VariantKind::Integer: *out = static_cast<double>(v.integer); return true;
    case VariantKind::Real:
    case VariantKind::Date: *out = v.real; return true;
    case VariantKind::Logical: *out = v.logical ? -1 : 0; return true;
    case VariantKind::Text: {
      const char* s = v.text.c_str();
      char* end = nullptr;
      double d = std::strtod(s, &end);
      if (end == s) return false;
      while (*end == ' ') ++end;
      if (*end != '\0') return false;
      *out = d;
      return true;
    }
    default: return false;
  }
}

void SetApplicationFactory(ApplicationFactory factory) { Factory() = std::move(factory); }

// ---- ExcelApp ----

bool ExcelApp::CreateApplication() {
  app_.reset();
  std::string why;
  ObjectRef app = Factory() ? Factory()(&why) : CreateSpreadsheetApplication(&why, nullptr);
  if (!app) {
    last_failure_ = why.empty() ? "no spreadsheet application could be created" : why;
    return false;
  }
  app_ = app;
  return true;
}

void ExcelApp::SetVisible(bool visible) {
  if (!app_) return;
  app_->Put("Visible", {}, Variant::MakeLogical(visible), nullptr);
}

void ExcelApp::ActivateWindow() {
  if (!app_) return;
  ObjectRef window;
  if (GetObject(app_, "ActiveWindow", {}, &window, nullptr)) window->Call("Activate", {}, nullptr, nullptr);
}

void ExcelApp::SendKeys(const std::string& keys, int wait) {
  if (!app_) return;
  app_->Call("SendKeys", {Variant::MakeText(keys), Variant::MakeInteger(static_cast<int16_t>(wait))}, nullptr,
             nullptr);
}

void ExcelApp::Quit() {
  if (!app_) return;
  std::string why;
  if (!app_->Call("Quit", {}, nullptr, &why)) last_failure_ = why;
  app_.reset();
}

void ExcelApp::Release() { app_.reset(); }

// ---- ExcelWorkbooks ----

void ExcelWorkbooks::ForgetSheets() {
  values_ = SheetValues();
  sheet_index_ = 0;
}

void ExcelWorkbooks::Release() {
  workbooks_.reset();
  workbook_.reset();
  sheets_.reset();
  sheet_.reset();
  range_.reset();
  range_sheet_.reset();
  pending_sheet_.reset();
  pending_ = false;
  range_held_ = false;
  range_start_.clear();
  range_end_.clear();
  start_parsed_ = false;
  built_start_.clear();
  built_end_.clear();
  rewritten_ = 0;
  ForgetSheets();
}

void ExcelWorkbooks::AttachWorkbook(const ExcelApp& app) {
  Release();
  const ObjectRef& application = app.Application();
  if (!application) return;
  std::string why;
  if (GetObject(application, "Workbooks", {}, &workbooks_, &why)) {
    if (!workbooks_->Call("Add", {}, nullptr, &why)) Fail(why);
  } else {
    Fail(why);
  }
  if (GetObject(application, "Sheets", {}, &sheets_, &why)) {
    if (GetObject(sheets_, "Item", {Variant::MakeInteger(1)}, &sheet_, &why)) sheet_index_ = 1;
  }
}

void ExcelWorkbooks::CloseWorkbooks() {
  if (!workbooks_) return;
  std::string why;
  if (!workbooks_->Call("Close", {}, nullptr, &why)) Fail(why);
  // Whatever was read of the closed workbooks no longer stands.
  ForgetSheets();
}

bool ExcelWorkbooks::OpenWorkbook(const std::string& path) {
  if (!workbooks_) {
    Fail("no spreadsheet application to open it with");
    return false;
  }
  Variant result;
  std::string why;
  if (!workbooks_->Call("Open", {Variant::MakeText(path)}, &result, &why)) {
    Fail(why.empty() ? "could not be opened" : why);
    return false;
  }
  if (result.kind != VariantKind::Object || !result.object) {
    Fail("could not be opened");
    return false;
  }
  ObjectRef sheets;
  if (!GetObject(result.object, "Sheets", {}, &sheets, &why)) {
    Fail(why);
    return false;
  }
  workbook_ = result.object;
  sheets_ = sheets;
  rewritten_ = 0;
  // The sheet held belongs to the collection before; its position there says
  // nothing about this one.
  ForgetSheets();
  return true;
}

bool ExcelWorkbooks::SaveWorkbook() {
  if (!workbook_) {
    Fail("no workbook is open");
    return false;
  }
  std::string why;
  if (!workbook_->Call("Save", {}, nullptr, &why)) {
    Fail(why.empty() ? "could not be saved" : why);
    return false;
  }
  return true;
}

void ExcelWorkbooks::DiscardWorkbook() {
  if (!workbook_) return;
  workbook_->Call("Close", {Variant::MakeLogical(false)}, nullptr, nullptr);
  ForgetSheets();
}

int ExcelWorkbooks::SheetCount() {
  if (!sheets_) return 0;
  Variant v;
  if (!sheets_->Get("Count", {}, &v, nullptr)) return 0;
  return ToInteger(v);
}

void ExcelWorkbooks::SetCurrentSheet(int n) {
  if (!sheets_) return;
  if (sheet_ && sheet_index_ != 0 && sheet_index_ == n) return;
  ObjectRef sheet;
  if (GetObject(sheets_, "Item", {Variant::MakeInteger(n)}, &sheet, nullptr)) {
    sheet_ = sheet;
    sheet_index_ = n;
    // Another sheet: the values kept for the one before are let go.
    if (values_.sheet != sheet_) values_ = SheetValues();
  }
}

int ExcelWorkbooks::CurrentSheet() {
  if (!sheet_) return 0;
  if (sheet_index_ != 0) return sheet_index_;
  Variant v;
  if (!sheet_->Get("Index", {}, &v, nullptr)) return 0;
  return ToInteger(v);
}

ObjectRef ExcelWorkbooks::GetCurrentSheet() { return sheet_; }

std::string ExcelWorkbooks::CurrentSheetName() {
  if (!sheet_) return std::string();
  Variant v;
  if (!sheet_->Get("Name", {}, &v, nullptr)) return std::string();
  return ValueToText(v);
}

void ExcelWorkbooks::SetRangeStart(const std::string& name) {
  if (start_parsed_ && name == range_start_) return;
  range_start_ = name;
  start_parsed_ = xlsx::ParseCell(range_start_, &start_row_, &start_column_);
}

void ExcelWorkbooks::SetRangeEnd(const std::string& name) {
  if (!sheet_) return;
  range_end_ = name;
  int r = 0, c = 0;
  if (start_parsed_ && (range_end_ == range_start_ || xlsx::ParseCell(range_end_, &r, &c))) {
    // Plain cell names always make a range: build it when a write needs it.
    pending_ = true;
    if (pending_sheet_ != sheet_) pending_sheet_ = sheet_;
    pending_start_ = range_start_;
    pending_end_ = range_end_;
    range_held_ = true;
    return;
  }
  // Anything else only the spreadsheet can judge: ask it now.
  pending_ = false;
  ObjectRef range;
  std::string why;
  if (GetObject(sheet_, "Range", {Variant::MakeText(range_start_), Variant::MakeText(range_end_)}, &range, &why)) {
    range_ = range;
    range_sheet_ = sheet_;
    built_start_ = range_start_;
    built_end_ = range_end_;
    range_held_ = true;
  }
}

std::string ExcelWorkbooks::RangeStart() const { return range_held_ ? range_start_ : std::string(); }
std::string ExcelWorkbooks::RangeEnd() const { return range_held_ ? range_end_ : std::string(); }

void ExcelWorkbooks::BuildPendingRange() {
  if (!pending_) return;
  pending_ = false;
  ObjectRef range;
  std::string why;
  if (GetObject(pending_sheet_, "Range", {Variant::MakeText(pending_start_), Variant::MakeText(pending_end_)},
                &range, &why)) {
    range_ = range;
    range_sheet_ = pending_sheet_;
    built_start_ = pending_start_;
    built_end_ = pending_end_;
  } else {
    Fail(why);
  }
}

ExcelWorkbooks::SheetValues* ExcelWorkbooks::ValuesOf(const ObjectRef& sheet) {
  SheetValues& sv = values_;
  if (sv.loaded && sv.sheet == sheet) return &sv;
  sv = SheetValues();
  sv.sheet = sheet;
  sv.loaded = true;
  // Four calls a sheet: the used range, where it starts, and all its values at once.
  ObjectRef used;
  Variant row, column, values;
  if (!GetObject(sheet, "UsedRange", {}, &used, nullptr)) return &sv;
  if (!used->Get("Row", {}, &row, nullptr) || !used->Get("Column", {}, &column, nullptr)) return &sv;
  if (!used->Get("Value", {}, &values, nullptr)) return &sv;
  sv.first_row = ToInteger(row);
  sv.first_column = ToInteger(column);
  if (sv.first_row < 1 || sv.first_column < 1) return &sv;
  if (values.kind == VariantKind::Array) {
    if (!values.array || values.array->size() != static_cast<size_t>(values.rows) * values.cols) return &sv;
    sv.values = values;
  } else {
    // A one-cell used range gives its value itself.
    sv.values = Variant::MakeArray(1, 1);
    sv.values.At(1, 1) = values;
  }
  sv.ok = true;
  return &sv;
}

bool ExcelWorkbooks::ReadCellValue(const ObjectRef& sheet, const std::string& name, Variant* value) {
  ObjectRef cell;
  return GetObject(sheet, "Range", {Variant::MakeText(name)}, &cell, nullptr) && cell->Get("Value", {}, value, nullptr);
}

std::string ExcelWorkbooks::ReadCellDirect(const ObjectRef& sheet, const std::string& name) {
  Variant v;
  return ReadCellValue(sheet, name, &v) ? ValueToText(v) : std::string();
}

std::string ExcelWorkbooks::Content() {
  if (!sheet_ || range_start_.empty()) return std::string();
  if (!start_parsed_) return ReadCellDirect(sheet_, range_start_);
  int r = start_row_, c = start_column_;
  SheetValues* sv = ValuesOf(sheet_);
  if (!sv->ok) return ReadCellDirect(sheet_, range_start_);
  Cell cell{r, c};
  if (!sv->stale.empty() && sv->stale.count(cell) != 0) {
    // Written by us: read what the spreadsheet made of it, once.
    Variant v;
    if (ReadCellValue(sheet_, range_start_, &v)) {
      sv->stale.erase(cell);
      sv->overrides[cell] = v;
      return ValueToText(v);
    }
    return std::string();
  }
  if (!sv->overrides.empty()) {
    auto it = sv->overrides.find(cell);
    if (it != sv->overrides.end()) return ValueToText(it->second);
  }
  int rr = r - sv->first_row + 1, cc = c - sv->first_column + 1;
  if (rr < 1 || cc < 1 || rr > sv->values.rows || cc > sv->values.cols) return std::string();
  return ValueToText(sv->values.At(rr, cc));
}

void ExcelWorkbooks::NoteWritten() {
  // Values are kept for one sheet only; a write elsewhere has nothing to mark.
  if (!values_.loaded || values_.sheet != range_sheet_) return;
  int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  if (!xlsx::ParseCell(built_start_, &r1, &c1) || !xlsx::ParseCell(built_end_, &r2, &c2)) {
    values_ = SheetValues();
    return;
  }
  if (r1 > r2) std::swap(r1, r2);
  if (c1 > c2) std::swap(c1, c2);
  if (static_cast<long long>(r2 - r1 + 1) * (c2 - c1 + 1) > kMostCellsMarked) {
    values_ = SheetValues();
    return;
  }
  for (int r = r1; r <= r2; ++r)
    for (int c = c1; c <= c2; ++c) {
      values_.overrides.erase(Cell{r, c});
      values_.stale.insert(Cell{r, c});
    }
}

void ExcelWorkbooks::SetContent(const std::string& text) {
  BuildPendingRange();
  if (!range_) return;
  std::string why;
  if (!range_->Put("Value", {}, Variant::MakeText(text), &why)) {
    Fail(why);
    return;
  }
  ++rewritten_;
  NoteWritten();
}

void ExcelWorkbooks::SetHorizontalAlignment(int alignment) {
  BuildPendingRange();
  if (!range_) return;
  range_->Put("HorizontalAlignment", {}, Variant::MakeInteger(alignment), nullptr);
}

void ExcelWorkbooks::SetShrinkToFit(bool shrink) {
  BuildPendingRange();
  if (!range_) return;
  range_->Put("ShrinkToFit", {}, Variant::MakeInteger(shrink ? 1 : 0), nullptr);
}

bool ExcelWorkbooks::UsedRangeOrigin(int* first_row, int* first_column) {
  if (!sheet_) return false;
  SheetValues* sv = ValuesOf(sheet_);
  if (!sv->ok) return false;
  *first_row = sv->first_row;
  *first_column = sv->first_column;
  return true;
}
