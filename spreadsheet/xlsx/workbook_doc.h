#pragma once
// A workbook package held in memory: its parts as read, an index of every
// sheet's cells, and the edits made since it was opened. Saving splices the
// edited cells into the original sheet XML and copies every other part as it
// was, still compressed. All texts here are UTF-8.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "spreadsheet/xlsx/cell_ref.h"
#include "spreadsheet/xlsx/zip.h"

namespace xlsx {

enum class ValueKind : uint8_t { Blank, Number, Text, Logical, Error, Date };

// A cell value as the engine hands it out.
struct CellValue {
  ValueKind kind = ValueKind::Blank;
  double number = 0;  // Number, Date (OLE serial), Logical (0/1), Error (error number)
  std::string text;   // Text
};

enum class FormulaKind : uint8_t { None, Plain, SharedAnchor, SharedChild, Array, DataTable };

// What the sheet XML says about one cell.
struct Cell {
  int32_t row = 0;
  int32_t col = 0;
  uint32_t begin = 0;  // the <c> element's span in the sheet XML
  uint32_t end = 0;
  uint32_t style = 0;
  uint8_t kind = 0;  // stored value: a ValueKind; Text values live in strings below
  FormulaKind formula = FormulaKind::None;
  int32_t shared_index = -1;  // shared formula group (si)
  uint32_t str = 0;           // Text: index into the sheet's text table
  double number = 0;
};

// An edit waiting to be saved. A value write replaces the cell's content and
// formula; the alignment writes change its format.
struct CellEdit {
  bool value_set = false;
  CellValue value;
  int horizontal = 0;  // 0 unchanged, else the alignment code (-4108 centre...)
  int shrink = -1;     // -1 unchanged, 0 off, 1 on
};

struct RowSpan {
  int32_t row = 0;
  uint32_t begin = 0;      // '<' of the row start tag
  uint32_t tag_end = 0;    // just after the start tag
  uint32_t close = 0;      // '<' of </row> (== tag_end when self-closing)
  bool self_closing = false;
  uint32_t first_cell = 0;  // index into cells
  uint32_t cell_count = 0;
};

class WorkbookDoc;

class SheetDoc {
 public:
  enum class Kind { Worksheet, Chart, Other };
  SheetDoc(WorkbookDoc* book, std::string name, Kind kind, std::string part)
      : book_(book), name_(std::move(name)), kind_(kind), part_(std::move(part)) {}

  const std::string& name() const { return name_; }
  Kind kind() const { return kind_; }
  const std::string& part() const { return part_; }
  WorkbookDoc* book() const { return book_; }

  // Parses the sheet XML and indexes its cells.
  bool Load(std::string xml, std::string* why);

  // Bounding box of the cells present; A1 for an empty sheet.
  CellRect UsedRange() const;
  CellValue Value(int row, int col) const;
  // Fills values row by row into out (rect.Rows() x rect.Cols()) through fn.
  template <typename Fn>
  void ForEachCell(const CellRect& rect, Fn fn) const;

  // Edits; false with the reason when the application would refuse them.
  bool SetValue(const CellRect& rect, const CellValue& value, std::string* why);
  bool SetHorizontal(const CellRect& rect, int code, std::string* why);
  bool SetShrink(const CellRect& rect, bool on, std::string* why);
  bool dirty() const { return !edits_.empty() || !new_cells_.empty(); }
  // Forgets the edits once they are saved; the cells are read again before use.
  void DropEdits() {
    edits_.clear();
    new_cells_.clear();
    for (Table& t : tables_) t.renames.clear();
  }

  // The saved sheet XML with the edits spliced in (cell formats as handed out
  // by the workbook's StyleFor).
  bool Render(std::string* out, std::string* why);
  bool removed_formula() const { return removed_formula_; }
  bool renamed_columns() const;

 private:
  friend class WorkbookDoc;
  const Cell* Find(int row, int col) const;
  int FindIndex(int row, int col) const;
  CellEdit* EditFor(int row, int col, std::string* why);
  bool CheckArrays(const CellRect& rect, std::string* why) const;
  bool CheckSize(const CellRect& rect, std::string* why) const;
  CellValue StoredValue(const Cell& c) const;
  std::string RenderCell(const Cell* orig, int row, int col, const CellEdit& e,
                         const std::string* formula, bool* ok, std::string* why);

  WorkbookDoc* book_;
  std::string name_;
  Kind kind_;
  std::string part_;
  std::string xml_;
  std::vector<Cell> cells_;  // in (row, col) order
  std::vector<RowSpan> rows_;
  std::vector<std::string> texts_;  // inline and formula string results
  std::vector<CellRect> arrays_;    // multi-cell array formulas and data tables
  // Areas the application will not let a value write change: table header
  // rows (their texts are the column names kept in the table part) and pivot
  // table reports. Each with what to say.
  std::vector<std::pair<CellRect, std::string>> guarded_;
  // Tables of the sheet: a header cell's text is its column's name, kept in
  // the table part too, so writing a header renames the column there.
  struct Table {
    std::string part;
    std::string name;
    CellRect header;
    std::vector<std::string> columns;          // names as read
    std::map<int, std::string> renames;        // column index -> new name
  };
  std::vector<Table> tables_;
  bool CheckTables(const CellRect& rect, const CellValue& value, std::string* why);
  std::unordered_map<int32_t, std::string> shared_formulas_;  // si -> anchor formula
  std::unordered_map<int32_t, uint32_t> shared_anchor_cell_;  // si -> index into cells
  CellRect used_;
  bool has_cells_ = false;
  bool ordered_ = true;
  std::string prefix_;  // namespace prefix of sheetData ("" or "x:")
  uint32_t sheet_data_begin_ = 0, sheet_data_tag_end_ = 0, sheet_data_close_ = 0;
  bool sheet_data_self_closing_ = false;
  bool has_sheet_data_ = false;
  uint32_t dimension_begin_ = 0, dimension_end_ = 0;
  bool has_dimension_ = false;
  std::unordered_map<uint32_t, CellEdit> edits_;               // by index into cells_
  std::map<std::pair<int, int>, CellEdit> new_cells_;          // cells not in the XML yet
  bool removed_formula_ = false;
};

struct StyleRequest {
  uint32_t base;
  int horizontal;
  int shrink;
  bool operator<(const StyleRequest& o) const {
    if (base != o.base) return base < o.base;
    if (horizontal != o.horizontal) return horizontal < o.horizontal;
    return shrink < o.shrink;
  }
};

class WorkbookDoc {
 public:
  // Opens the package at path (tool encoding). False with the reason.
  bool Open(const std::string& path, std::string* why);
  // Opens a package held in memory (no file behind it: Save refuses).
  bool OpenBytes(std::string bytes, const std::string& name, std::string* why);
  // The saved package with the edits applied, without touching any file;
  // *changed false (and out untouched) when there is nothing to save.
  bool Build(std::string* out, bool* changed, std::string* why);
  // Makes a built package the new starting point, as after a save.
  bool Adopt(std::string bytes, std::string* why);
  // A blank workbook with one empty sheet, never saved.
  void InitBlank(const std::string& name);

  const std::string& path() const { return path_; }  // as given, tool encoding
  const std::string& name() const { return display_name_; }
  const std::vector<std::shared_ptr<SheetDoc>>& sheets() const { return sheets_; }
  bool closed() const { return closed_; }
  void Close() { closed_ = true; }
  bool dirty() const;
  // Writes the edits back; a workbook without edits is not touched.
  bool Save(std::string* why);
  // Reads the package again after a save, before its cells are used.
  bool Refresh(std::string* why);

  bool IsDateStyle(uint32_t xf) const { return xf < date_xf_.size() && date_xf_[xf]; }
  bool date1904() const { return date1904_; }
  const std::string& SharedString(uint32_t i) const;
  size_t shared_count() const { return shared_strings_.size(); }
  // Whether a formula or name anywhere may refer to table columns by name.
  bool structured_refs() const { return structured_refs_; }
  void MarkStructuredRefs() { structured_refs_ = true; }
  // Compression level for rewritten parts.
  static int compression_level;
  // Index a style request gets in the saved styles part.
  uint32_t StyleFor(const StyleRequest& r) const;

 private:
  bool Load(std::string* why);
  bool LoadStyles(const std::string& xml, std::string* why);
  bool LoadSharedStrings(const std::string& xml, std::string* why);
  bool RenderStyles(std::string* out, std::string* why);

  std::string path_;
  std::string display_name_;
  std::string file_;  // the package bytes
  ZipReader zip_;
  bool blank_ = false;
  bool closed_ = false;
  bool stale_ = false;
  bool structured_refs_ = false;
  bool date1904_ = false;
  std::vector<std::shared_ptr<SheetDoc>> sheets_;
  std::vector<std::string> shared_strings_;
  std::string workbook_part_;
  std::string rels_part_;  // workbook relationships part
  std::string styles_part_;
  std::string styles_xml_;
  std::vector<std::pair<uint32_t, uint32_t>> xf_spans_;  // cellXfs children in styles_xml_
  uint32_t cellxfs_close_ = 0, cellxfs_tag_begin_ = 0, cellxfs_tag_end_ = 0;
  bool has_cellxfs_ = false;
  std::string cellxfs_prefix_;
  std::vector<bool> date_xf_;
  std::string calc_chain_part_;
  std::map<StyleRequest, uint32_t> style_map_;  // filled while saving
};

template <typename Fn>
void SheetDoc::ForEachCell(const CellRect& rect, Fn fn) const {
  // Stored cells first, in one pass; then edits on top.
  for (const RowSpan& r : rows_) {
    if (r.row < rect.row1 || r.row > rect.row2) continue;
    for (uint32_t i = r.first_cell; i < r.first_cell + r.cell_count; ++i) {
      const Cell& c = cells_[i];
      if (c.col < rect.col1 || c.col > rect.col2) continue;
      if (!edits_.empty()) {
        auto e = edits_.find(i);
        if (e != edits_.end() && e->second.value_set) {
          fn(c.row, c.col, e->second.value);
          continue;
        }
      }
      fn(c.row, c.col, StoredValue(c));
    }
  }
  for (const auto& nc : new_cells_) {
    if (nc.second.value_set && rect.Contains(nc.first.first, nc.first.second))
      fn(nc.first.first, nc.first.second, nc.second.value);
  }
}

}  // namespace xlsx
