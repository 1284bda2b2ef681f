#include "spreadsheet/xlsx/workbook_doc.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "spreadsheet/xlsx/file_io.h"
#include "spreadsheet/xlsx/formula.h"
#include "spreadsheet/xlsx/xml.h"

namespace xlsx {

// Rewritten parts are compressed at a fast level: about a tenth larger than
// the default level's output in half the time, and compressing is where the
// engine spends most of its time.
int WorkbookDoc::compression_level = 3;

namespace {

// Stored kind of a cell whose text is in the shared string table.
constexpr uint8_t kSharedText = 100;
constexpr size_t kMaxFileSize = 1024u * 1024u * 1024u;
// Largest area one write may touch; whole-column writes would otherwise create
// millions of cells.
constexpr long long kMaxWriteCells = 4000000;

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Decode(std::string_view raw) {
  std::string s;
  AppendDecoded(raw, &s);
  return s;
}

bool ParseInt(std::string_view s, long long* v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), *v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseDouble(std::string_view s, double* v) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\r' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
    s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto r = std::from_chars(s.data(), s.data() + s.size(), *v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(*v);
}

struct ErrorName {
  const char* text;
  int number;
};
const ErrorName kErrors[] = {{"#NULL!", 2000}, {"#DIV/0!", 2007}, {"#VALUE!", 2015},
                             {"#REF!", 2023},  {"#NAME?", 2029},  {"#NUM!", 2036},
                             {"#N/A", 2042},   {"#GETTING_DATA", 2043}};

int ErrorNumber(const std::string& text) {
  for (const ErrorName& e : kErrors)
    if (text == e.text) return e.number;
  return 2015;
}

const char* ErrorText(int number) {
  for (const ErrorName& e : kErrors)
    if (number == e.number) return e.text;
  return "#VALUE!";
}

// Days from 1899-12-30 for a civil date.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468 + 25569;
}

// "2024-03-15T10:30:00" (cells of type d) to an OLE date.
bool IsoToSerial(const std::string& s, double* out) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double sec = 0;
  if (std::sscanf(s.c_str(), "%d-%d-%d", &y, &mo, &d) != 3) {
    if (std::sscanf(s.c_str(), "%d:%d:%lf", &h, &mi, &sec) < 2) return false;
    *out = (h * 3600 + mi * 60 + sec) / 86400.0;
    return true;
  }
  size_t t = s.find('T');
  if (t != std::string::npos) std::sscanf(s.c_str() + t + 1, "%d:%d:%lf", &h, &mi, &sec);
  if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
  *out = static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d))) +
         (h * 3600 + mi * 60 + sec) / 86400.0;
  return true;
}

// A number format code that shows a date or a time: date/time letters outside
// quoted text, [colour]/[condition] brackets and escaped characters.
bool IsDateFormatCode(const std::string& code) {
  // Only the first section decides, as the spreadsheet does for positive numbers.
  bool in_quote = false;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (in_quote) {
      if (c == '"') in_quote = false;
      continue;
    }
    if (c == '"') {
      in_quote = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      size_t e = code.find(']', i);
      if (e == std::string::npos) return false;
      std::string inner = code.substr(i + 1, e - i - 1);
      // Elapsed time [h] [mm] [ss] is a time format.
      if (!inner.empty() && (inner[0] == 'h' || inner[0] == 'H' || inner[0] == 'm' ||
                             inner[0] == 'M' || inner[0] == 's' || inner[0] == 'S'))
        return true;
      i = e;
    } else if (c == ';') {
      return false;
    } else {
      switch (c) {
        case 'd': case 'D': case 'm': case 'M': case 'y': case 'Y':
        case 'h': case 'H': case 's': case 'S':
          return true;
        default: break;
      }
    }
  }
  return false;
}

bool IsBuiltinDateFormat(long long id) {
  return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) ||
         (id >= 50 && id <= 58);
}

std::string DirOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? "" : part.substr(0, slash + 1);
}

std::string RelsPartOf(const std::string& part) {
  size_t slash = part.rfind('/');
  if (slash == std::string::npos) return "_rels/" + part + ".rels";
  return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

// A relationship target made into a part name of the archive.
std::string ResolveTarget(const std::string& source_part, const std::string& target_in) {
  std::string target;
  for (size_t i = 0; i < target_in.size(); ++i) {
    if (target_in[i] == '%' && i + 2 < target_in.size() && std::isxdigit(static_cast<unsigned char>(target_in[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(target_in[i + 2]))) {
      target.push_back(static_cast<char>(std::stoi(target_in.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      target.push_back(target_in[i] == '\\' ? '/' : target_in[i]);
    }
  }
  std::string full = !target.empty() && target[0] == '/' ? target.substr(1) : DirOf(source_part) + target;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t slash = full.find('/', start);
    if (slash == std::string::npos) slash = full.size();
    std::string seg = full.substr(start, slash - start);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    start = slash + 1;
  }
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out.push_back('/');
    out += parts[i];
  }
  return out;
}

struct Relationship {
  std::string id, type, target;
  bool external = false;
  uint32_t begin = 0, end = 0;
};

bool ParseRels(const std::string& xml, std::vector<Relationship>* rels, std::string* why) {
  XmlScanner x(xml);
  for (;;) {
    XmlEvent ev = x.Next();
    if (ev == XmlEvent::Eof) return true;
    if (ev == XmlEvent::Error) {
      *why = x.error();
      return false;
    }
    if (ev == XmlEvent::Start && x.local() == "Relationship") {
      Relationship r;
      for (const XmlAttr& a : x.attrs()) {
        if (a.name == "Id") r.id = Decode(a.raw);
        else if (a.name == "Type") r.type = Decode(a.raw);
        else if (a.name == "Target") r.target = Decode(a.raw);
        else if (a.name == "TargetMode") r.external = Decode(a.raw) == "External";
      }
      r.begin = static_cast<uint32_t>(x.begin());
      if (!x.self_closing()) {
        // Skip to its end.
        size_t depth = x.depth();
        while (x.depth() >= depth) {
          XmlEvent e2 = x.Next();
          if (e2 == XmlEvent::Error) {
            *why = x.error();
            return false;
          }
          if (e2 == XmlEvent::Eof) break;
        }
      }
      r.end = static_cast<uint32_t>(x.end());
      rels->push_back(std::move(r));
    }
  }
}

// An attribute value as read, ready to be written between double quotes
// (it may have been written between single quotes).
std::string Requote(std::string_view raw) {
  std::string out;
  for (char c : raw) {
    if (c == '"') out += "&quot;";
    else out.push_back(c);
  }
  return out;
}

std::string PrefixOf(std::string_view qname) {
  size_t colon = qname.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(qname.substr(0, colon + 1));
}

}  // namespace

// ---------------------------------------------------------------- sheets

bool SheetDoc::Load(std::string xml, std::string* why) {
  xml_ = std::move(xml);
  cells_.clear();
  rows_.clear();
  texts_.clear();
  arrays_.clear();
  guarded_.clear();
  tables_.clear();
  shared_formulas_.clear();
  shared_anchor_cell_.clear();
  edits_.clear();
  new_cells_.clear();
  removed_formula_ = false;
  has_cells_ = false;
  ordered_ = true;
  has_sheet_data_ = false;
  has_dimension_ = false;
  if (xml_.size() >= 0xfffffff0u) {
    *why = "sheet " + part_ + " is too large";
    return false;
  }
  XmlScanner x(xml_);
  enum { kOutside, kInData, kInRow, kInCell } state = kOutside;
  // Per-cell scratch.
  Cell cell;
  std::string t_attr, value_raw, formula_text, inline_text;
  bool have_v = false, in_v = false, in_f = false, in_is_t = false;
  int rph_depth = 0;
  int last_row = 0, last_col = 0;
  int min_r = 0, min_c = 0, max_r = 0, max_c = 0;
  std::string f_type, f_ref;
  long long f_si = -1;

  for (;;) {
    XmlEvent ev = x.Next();
    if (ev == XmlEvent::Eof) break;
    if (ev == XmlEvent::Error) {
      *why = "the workbook is damaged: " + part_ + ": " + x.error();
      return false;
    }
    if (ev == XmlEvent::Text) {
      if (state != kInCell) continue;
      if (in_v) value_raw.append(x.text());
      else if (in_f) formula_text.append(x.text());
      else if (in_is_t && rph_depth == 0 && !AppendCharacters(x, &inline_text)) {
        *why = "the workbook is damaged: " + part_ + ": bad character reference";
        return false;
      }
      continue;
    }
    std::string_view ln = x.local();
    if (ev == XmlEvent::Start) {
      switch (state) {
        case kOutside:
          if (ln == "sheetData" && x.depth() == 2) {
            has_sheet_data_ = true;
            prefix_ = PrefixOf(x.name());
            sheet_data_begin_ = static_cast<uint32_t>(x.begin());
            sheet_data_tag_end_ = static_cast<uint32_t>(x.end());
            sheet_data_self_closing_ = x.self_closing();
            sheet_data_close_ = sheet_data_tag_end_;
            state = kInData;
          } else if (ln == "dimension" && x.depth() == 2) {
            has_dimension_ = true;
            dimension_begin_ = static_cast<uint32_t>(x.begin());
            dimension_end_ = static_cast<uint32_t>(x.end());
            // The declared area sizes the cell index, within what the XML could hold.
            std::string_view ref;
            CellRect area;
            if (x.Attr("ref", &ref) && ParseArea(ref, &area)) {
              long long n = std::min<long long>(area.Rows() * area.Cols(), static_cast<long long>(xml_.size() / 16));
              cells_.reserve(static_cast<size_t>(n));
              rows_.reserve(static_cast<size_t>(std::min<long long>(area.Rows(), static_cast<long long>(xml_.size() / 16))));
            }
          }
          break;
        case kInData:
          if (ln == "row") {
            RowSpan r;
            std::string_view v;
            long long n = 0;
            if (x.Attr("r", &v)) {
              if (!ParseInt(v, &n) || n < 1 || n > kMaxRow) {
                *why = "the workbook is damaged: " + part_ + ": bad row number";
                return false;
              }
            } else {
              n = last_row + 1;
            }
            if (n <= last_row) ordered_ = false;
            last_row = static_cast<int>(std::min<long long>(n, kMaxRow));
            last_col = 0;
            r.row = last_row;
            r.begin = static_cast<uint32_t>(x.begin());
            r.tag_end = static_cast<uint32_t>(x.end());
            r.close = r.tag_end;
            r.self_closing = x.self_closing();
            r.first_cell = static_cast<uint32_t>(cells_.size());
            rows_.push_back(r);
            state = kInRow;
          }
          break;
        case kInRow:
          if (ln == "c") {
            cell = Cell();
            cell.begin = static_cast<uint32_t>(x.begin());
            t_attr.clear();
            value_raw.clear();
            formula_text.clear();
            inline_text.clear();
            have_v = false;
            f_type.clear();
            f_ref.clear();
            f_si = -1;
            std::string_view v;
            if (x.Attr("r", &v)) {
              int rr, cc;
              if (!ParseCell(v, &rr, &cc)) {
                *why = "the workbook is damaged: " + part_ + ": bad cell reference";
                return false;
              }
              if (rr != last_row) {
                *why = "the workbook is damaged: " + part_ + ": cell " + std::string(v) +
                       " outside its row";
                return false;
              }
              cell.col = cc;
            } else {
              cell.col = last_col + 1;
              if (cell.col > kMaxCol) {
                *why = "the workbook is damaged: " + part_ + ": too many cells in a row";
                return false;
              }
            }
            if (cell.col <= last_col) ordered_ = false;
            last_col = cell.col;
            cell.row = last_row;
            if (x.Attr("s", &v)) {
              long long s = 0;
              if (ParseInt(v, &s) && s >= 0 && s < 0x7fffffff) cell.style = static_cast<uint32_t>(s);
            }
            if (x.Attr("t", &v)) t_attr.assign(v.data(), v.size());
            state = kInCell;
          }
          break;
        case kInCell:
          if (ln == "v" && x.depth() == 5) {
            in_v = true;
            have_v = true;
          } else if (ln == "f" && x.depth() == 5) {
            in_f = true;
            std::string_view v;
            cell.formula = FormulaKind::Plain;
            if (x.Attr("t", &v)) f_type.assign(v.data(), v.size());
            if (x.Attr("ref", &v)) f_ref.assign(v.data(), v.size());
            if (x.Attr("si", &v)) {
              long long si = -1;
              if (ParseInt(v, &si) && si >= 0 && si < 0x7fffffff) f_si = si;
            }
          } else if (ln == "t" && x.depth() >= 6) {
            in_is_t = true;
          } else if (ln == "rPh") {
            ++rph_depth;
          }
          break;
      }
      continue;
    }
    // End events.
    switch (state) {
      case kOutside: break;
      case kInData:
        if (ln == "sheetData") {
          sheet_data_close_ = static_cast<uint32_t>(x.begin());
          state = kOutside;
        }
        break;
      case kInRow:
        if (ln == "row") {
          RowSpan& r = rows_.back();
          r.close = static_cast<uint32_t>(x.begin());
          r.cell_count = static_cast<uint32_t>(cells_.size()) - r.first_cell;
          state = kInData;
        }
        break;
      case kInCell:
        if (ln == "v" && in_v) {
          in_v = false;
        } else if (ln == "f" && in_f) {
          in_f = false;
        } else if (ln == "t") {
          in_is_t = false;
        } else if (ln == "rPh") {
          --rph_depth;
        } else if (ln == "c" && x.depth() == 3) {
          cell.end = static_cast<uint32_t>(x.end());
          // The stored value.
          std::string v;
          if (have_v && !AppendDecoded(value_raw, &v)) {
            *why = "the workbook is damaged: " + part_ + ": bad character reference";
            return false;
          }
          if (t_attr == "s") {
            long long idx = -1;
            if (have_v && ParseInt(v, &idx) && idx >= 0 &&
                static_cast<size_t>(idx) < book_->shared_count()) {
              cell.kind = kSharedText;
              cell.str = static_cast<uint32_t>(idx);
            }
          } else if (t_attr == "str" || t_attr == "inlineStr") {
            cell.kind = static_cast<uint8_t>(ValueKind::Text);
            cell.str = static_cast<uint32_t>(texts_.size());
            texts_.push_back(UnescapeOoxml(t_attr == "str" ? v : inline_text));
          } else if (t_attr == "b") {
            if (have_v) {
              cell.kind = static_cast<uint8_t>(ValueKind::Logical);
              cell.number = (v == "1" || v == "true") ? 1 : 0;
            }
          } else if (t_attr == "e") {
            if (have_v) {
              cell.kind = static_cast<uint8_t>(ValueKind::Error);
              cell.number = ErrorNumber(v);
            }
          } else if (t_attr == "d") {
            double serial;
            if (have_v && IsoToSerial(v, &serial)) {
              cell.kind = static_cast<uint8_t>(ValueKind::Date);
              cell.number = serial;
            }
          } else if (have_v) {
            double d;
            if (ParseDouble(v, &d)) {
              cell.kind = static_cast<uint8_t>(ValueKind::Number);
              cell.number = d;
            }
          }
          if (cell.formula != FormulaKind::None && formula_text.find('[') != std::string::npos)
            book_->MarkStructuredRefs();
          if (cell.formula != FormulaKind::None) {
            if (f_type == "shared") {
              bool anchor = !f_ref.empty() || !formula_text.empty();
              cell.formula = anchor ? FormulaKind::SharedAnchor : FormulaKind::SharedChild;
              cell.shared_index = static_cast<int32_t>(f_si);
              if (anchor && f_si >= 0) {
                std::string text;
                AppendDecoded(formula_text, &text);
                shared_formulas_[static_cast<int32_t>(f_si)] = text;
                shared_anchor_cell_[static_cast<int32_t>(f_si)] = static_cast<uint32_t>(cells_.size());
              }
            } else if (f_type == "array" || f_type == "dataTable") {
              cell.formula = f_type == "array" ? FormulaKind::Array : FormulaKind::DataTable;
              CellRect area;
              if (!f_ref.empty() && ParseArea(f_ref, &area) && (area.Rows() > 1 || area.Cols() > 1))
                arrays_.push_back(area);
              else if (f_type == "dataTable") {
                area.row1 = area.row2 = cell.row;
                area.col1 = area.col2 = cell.col;
                arrays_.push_back(area);
              }
            }
          }
          if (!has_cells_) {
            min_r = max_r = cell.row;
            min_c = max_c = cell.col;
            has_cells_ = true;
          } else {
            min_r = std::min(min_r, cell.row);
            max_r = std::max(max_r, cell.row);
            min_c = std::min(min_c, cell.col);
            max_c = std::max(max_c, cell.col);
          }
          cells_.push_back(cell);
          in_v = in_f = in_is_t = false;
          rph_depth = 0;
          state = kInRow;
        }
        break;
    }
  }
  if (kind_ == Kind::Worksheet && !has_sheet_data_) {
    *why = "the workbook is damaged: " + part_ + " has no sheet data";
    return false;
  }
  if (!ordered_) {
    // Rows or cells out of order: keep an ordered copy for lookups; the
    // spans still point into the XML as written.
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const RowSpan& a, const RowSpan& b) { return a.row < b.row; });
  }
  used_ = CellRect();
  if (has_cells_) {
    used_.row1 = min_r;
    used_.col1 = min_c;
    used_.row2 = max_r;
    used_.col2 = max_c;
  }
  return true;
}

CellRect SheetDoc::UsedRange() const {
  CellRect r = used_;
  bool any = has_cells_;
  for (const auto& nc : new_cells_) {
    int row = nc.first.first, col = nc.first.second;
    if (!any) {
      r.row1 = r.row2 = row;
      r.col1 = r.col2 = col;
      any = true;
    } else {
      r.row1 = std::min(r.row1, row);
      r.row2 = std::max(r.row2, row);
      r.col1 = std::min(r.col1, col);
      r.col2 = std::max(r.col2, col);
    }
  }
  return r;
}

int SheetDoc::FindIndex(int row, int col) const {
  // Rows are in order (sorted when the XML was not); cells within a row
  // are searched in order when they were written so, linearly otherwise.
  auto it = std::lower_bound(rows_.begin(), rows_.end(), row,
                             [](const RowSpan& r, int v) { return r.row < v; });
  for (; it != rows_.end() && it->row == row; ++it) {
    const Cell* first = cells_.data() + it->first_cell;
    const Cell* last = first + it->cell_count;
    if (ordered_) {
      const Cell* c = std::lower_bound(first, last, col, [](const Cell& a, int v) { return a.col < v; });
      if (c != last && c->col == col) return static_cast<int>(c - cells_.data());
    } else {
      for (const Cell* c = first; c != last; ++c)
        if (c->col == col) return static_cast<int>(c - cells_.data());
    }
  }
  return -1;
}

const Cell* SheetDoc::Find(int row, int col) const {
  int i = FindIndex(row, col);
  return i < 0 ? nullptr : &cells_[static_cast<size_t>(i)];
}

CellValue SheetDoc::StoredValue(const Cell& c) const {
  CellValue v;
  switch (c.kind) {
    case kSharedText:
      v.kind = ValueKind::Text;
      v.text = book_->SharedString(c.str);
      break;
    case static_cast<uint8_t>(ValueKind::Text):
      v.kind = ValueKind::Text;
      v.text = texts_[c.str];
      break;
    case static_cast<uint8_t>(ValueKind::Number):
      v.number = c.number;
      if (book_->IsDateStyle(c.style)) {
        double s = c.number;
        if (book_->date1904()) s += 1462;
        // The 1900 system counts a 29 February 1900 that never was.
        else if (s >= 1 && s < 60) s += 1;
        v.kind = ValueKind::Date;
        v.number = s;
      } else {
        v.kind = ValueKind::Number;
      }
      break;
    case static_cast<uint8_t>(ValueKind::Date):
      v.kind = ValueKind::Date;
      v.number = c.number;
      break;
    case static_cast<uint8_t>(ValueKind::Logical):
      v.kind = ValueKind::Logical;
      v.number = c.number;
      break;
    case static_cast<uint8_t>(ValueKind::Error):
      v.kind = ValueKind::Error;
      v.number = c.number;
      break;
    default: break;
  }
  return v;
}

CellValue SheetDoc::Value(int row, int col) const {
  int i = FindIndex(row, col);
  if (i >= 0) {
    auto e = edits_.find(static_cast<uint32_t>(i));
    if (e != edits_.end() && e->second.value_set) return e->second.value;
    return StoredValue(cells_[static_cast<size_t>(i)]);
  }
  auto nc = new_cells_.find({row, col});
  if (nc != new_cells_.end() && nc->second.value_set) return nc->second.value;
  return CellValue();
}

bool SheetDoc::CheckArrays(const CellRect& rect, std::string* why) const {
  for (const auto& g : guarded_) {
    const CellRect& a = g.first;
    if (a.row1 <= rect.row2 && rect.row1 <= a.row2 && a.col1 <= rect.col2 && rect.col1 <= a.col2) {
      *why = g.second + " (" + AreaName(a) + ")";
      return false;
    }
  }
  for (const CellRect& a : arrays_) {
    if (a.row1 <= rect.row2 && rect.row1 <= a.row2 && a.col1 <= rect.col2 && rect.col1 <= a.col2) {
      *why = "cannot change part of an array formula or data table (" + AreaName(a) + ")";
      return false;
    }
  }
  return true;
}

bool SheetDoc::CheckSize(const CellRect& rect, std::string* why) const {
  if (rect.Rows() * rect.Cols() > kMaxWriteCells) {
    *why = "the range " + AreaName(rect) + " is too large to write";
    return false;
  }
  if (kind_ != Kind::Worksheet) {
    *why = "not a worksheet";
    return false;
  }
  return true;
}

CellEdit* SheetDoc::EditFor(int row, int col, std::string* why) {
  int i = FindIndex(row, col);
  if (i >= 0) return &edits_[static_cast<uint32_t>(i)];
  if (!ordered_ || !has_sheet_data_) {
    *why = "the sheet's cells are not in order; the engine adds no cell to it";
    return nullptr;
  }
  return &new_cells_[{row, col}];
}

namespace {
std::string Folded(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}
}  // namespace

bool SheetDoc::CheckTables(const CellRect& rect, const CellValue& value, std::string* why) {
  for (Table& t : tables_) {
    const CellRect& h = t.header;
    if (!(h.row1 <= rect.row2 && rect.row1 <= h.row2 && h.col1 <= rect.col2 && rect.col1 <= h.col2)) continue;
    std::string where = "cannot change the header of table " + t.name;
    if (book_->structured_refs()) {
      *why = where + ": formulas in the workbook may refer to its columns by name";
      return false;
    }
    if (value.kind != ValueKind::Text || value.text.empty()) {
      *why = where + ": a column name must be a non-empty text";
      return false;
    }
    int first = std::max(h.col1, rect.col1), last = std::min(h.col2, rect.col2);
    if (first != last) {
      *why = where + ": column names must differ";
      return false;
    }
    int k = first - h.col1;
    if (k >= static_cast<int>(t.columns.size())) {
      *why = where + ": the table part does not list that column";
      return false;
    }
    for (int i = 0; i < static_cast<int>(t.columns.size()); ++i) {
      if (i == k) continue;
      auto r = t.renames.find(i);
      const std::string& other = r == t.renames.end() ? t.columns[static_cast<size_t>(i)] : r->second;
      if (Folded(other) == Folded(value.text)) {
        *why = where + ": another column is already named \"" + value.text + "\"";
        return false;
      }
    }
  }
  // Every check passed: record the new names.
  for (Table& t : tables_) {
    const CellRect& h = t.header;
    if (h.row1 <= rect.row2 && rect.row1 <= h.row2 && h.col1 <= rect.col2 && rect.col1 <= h.col2)
      t.renames[std::max(h.col1, rect.col1) - h.col1] = value.text;
  }
  return true;
}

bool SheetDoc::renamed_columns() const {
  for (const Table& t : tables_)
    if (!t.renames.empty()) return true;
  return false;
}

bool SheetDoc::SetValue(const CellRect& rect, const CellValue& value, std::string* why) {
  if (!CheckSize(rect, why) || !CheckArrays(rect, why) || !CheckTables(rect, value, why)) return false;
  for (int r = rect.row1; r <= rect.row2; ++r) {
    for (int c = rect.col1; c <= rect.col2; ++c) {
      // Writing blank into a cell that is not there leaves it absent.
      if (value.kind == ValueKind::Blank && FindIndex(r, c) < 0 && !new_cells_.count({r, c})) continue;
      CellEdit* e = EditFor(r, c, why);
      if (!e) return false;
      e->value_set = true;
      e->value = value;
      int i = FindIndex(r, c);
      if (i >= 0 && cells_[static_cast<size_t>(i)].formula != FormulaKind::None) removed_formula_ = true;
    }
  }
  return true;
}

bool SheetDoc::SetHorizontal(const CellRect& rect, int code, std::string* why) {
  if (!CheckSize(rect, why)) return false;
  for (int r = rect.row1; r <= rect.row2; ++r)
    for (int c = rect.col1; c <= rect.col2; ++c) {
      CellEdit* e = EditFor(r, c, why);
      if (!e) return false;
      e->horizontal = code;
    }
  return true;
}

bool SheetDoc::SetShrink(const CellRect& rect, bool on, std::string* why) {
  if (!CheckSize(rect, why)) return false;
  for (int r = rect.row1; r <= rect.row2; ++r)
    for (int c = rect.col1; c <= rect.col2; ++c) {
      CellEdit* e = EditFor(r, c, why);
      if (!e) return false;
      e->shrink = on ? 1 : 0;
    }
  return true;
}

namespace {

std::string FormatNumber(double d) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

void AppendValueXml(const CellValue& v, const std::string& p, std::string* out) {
  switch (v.kind) {
    case ValueKind::Text: {
      std::string esc = EscapeOoxml(v.text);
      bool keep_space = !esc.empty() && (esc.front() == ' ' || esc.back() == ' ' || esc.front() == '\t' ||
                                          esc.back() == '\t' || esc.find('\n') != std::string::npos);
      *out += "<" + p + "is><" + p + (keep_space ? "t xml:space=\"preserve\">" : "t>");
      AppendEscaped(esc, false, out);
      *out += "</" + p + "t></" + p + "is>";
      break;
    }
    case ValueKind::Number:
    case ValueKind::Date:
      *out += "<" + p + "v>" + FormatNumber(v.number) + "</" + p + "v>";
      break;
    case ValueKind::Logical:
      *out += "<" + p + "v>" + std::string(v.number != 0 ? "1" : "0") + "</" + p + "v>";
      break;
    case ValueKind::Error:
      *out += "<" + p + "v>" + std::string(ErrorText(static_cast<int>(v.number))) + "</" + p + "v>";
      break;
    case ValueKind::Blank: break;
  }
}

const char* TypeAttr(ValueKind k) {
  switch (k) {
    case ValueKind::Text: return "inlineStr";
    case ValueKind::Logical: return "b";
    case ValueKind::Error: return "e";
    default: return nullptr;
  }
}

}  // namespace

std::string SheetDoc::RenderCell(const Cell* orig, int row, int col, const CellEdit& e,
                                 const std::string* formula, bool* ok, std::string* why) {
  std::string p = prefix_;
  std::vector<std::pair<std::string, std::string>> attrs;  // other attributes, raw
  std::string style_raw;
  bool has_style = false;
  std::string type_raw;
  std::string f_raw, value_raw, ext_raw;
  if (orig) {
    std::string_view frag(xml_.data() + orig->begin, orig->end - orig->begin);
    XmlScanner x(frag);
    x.Next();
    p = PrefixOf(x.name());
    for (const XmlAttr& a : x.attrs()) {
      if (a.name == "r") continue;
      if (a.name == "s") {
        style_raw.assign(a.raw);
        has_style = true;
      } else if (a.name == "t") {
        type_raw.assign(a.raw);
      } else if (e.value_set && (a.name == "cm" || a.name == "vm")) {
        continue;
      } else {
        attrs.emplace_back(std::string(a.name), Requote(a.raw));
      }
    }
    for (;;) {
      XmlEvent ev = x.Next();
      if (ev == XmlEvent::Eof || ev == XmlEvent::Error) break;
      if (ev == XmlEvent::Start && x.depth() == 2) {
        size_t b = x.begin();
        std::string_view ln = x.local();
        while (x.depth() >= 2) {
          XmlEvent e2 = x.Next();
          if (e2 == XmlEvent::Eof || e2 == XmlEvent::Error) break;
        }
        std::string raw(frag.substr(b, x.end() - b));
        if (ln == "f") f_raw = raw;
        else if (ln == "v" || ln == "is") value_raw += raw;
        else ext_raw += raw;
      }
    }
  }
  std::string out = "<" + p + "c r=\"" + CellName(row, col) + "\"";
  if (e.horizontal != 0 || e.shrink != -1) {
    uint32_t base = orig ? orig->style : 0;
    StyleRequest req{base, e.horizontal, e.shrink};
    out += " s=\"" + std::to_string(book_->StyleFor(req)) + "\"";
  } else if (has_style) {
    out += " s=\"" + Requote(style_raw) + "\"";
  }
  if (e.value_set) {
    const char* t = TypeAttr(e.value.kind);
    if (t) out += std::string(" t=\"") + t + "\"";
  } else if (!type_raw.empty()) {
    out += " t=\"" + Requote(type_raw) + "\"";
  }
  for (const auto& a : attrs) out += " " + a.first + "=\"" + a.second + "\"";
  std::string body;
  if (e.value_set) {
    CellValue v = e.value;
    if (v.kind == ValueKind::Date) {
      // Back from the OLE date to the workbook's own serial.
      if (book_->date1904()) v.number -= 1462;
      else if (v.number >= 2 && v.number < 61) v.number -= 1;
    }
    AppendValueXml(v, p, &body);
  } else {
    if (formula) {
      body += "<" + p + "f>";
      AppendEscaped(*formula, false, &body);
      body += "</" + p + "f>";
    } else {
      body += f_raw;
    }
    body += value_raw;
  }
  body += ext_raw;
  if (body.empty()) {
    out += "/>";
  } else {
    out += ">" + body + "</" + p + "c>";
  }
  (void)ok;
  (void)why;
  return out;
}

bool SheetDoc::Render(std::string* out, std::string* why) {
  struct Splice {
    uint32_t begin, end;
    std::string text;
  };
  std::vector<Splice> splices;
  // Shared formula groups whose anchor loses its formula: the other cells get
  // the formula written out for themselves.
  std::set<int32_t> orphaned;
  for (const auto& ed : edits_) {
    const Cell& c = cells_[ed.first];
    if (ed.second.value_set && c.formula == FormulaKind::SharedAnchor && c.shared_index >= 0)
      orphaned.insert(c.shared_index);
  }
  std::unordered_map<uint32_t, std::string> materialised;
  if (!orphaned.empty()) {
    for (size_t i = 0; i < cells_.size(); ++i) {
      const Cell& c = cells_[i];
      if (c.formula != FormulaKind::SharedChild || !orphaned.count(c.shared_index)) continue;
      auto ed = edits_.find(static_cast<uint32_t>(i));
      if (ed != edits_.end() && ed->second.value_set) continue;
      const Cell& anchor = cells_[shared_anchor_cell_[c.shared_index]];
      std::string f;
      if (!TranslateFormula(shared_formulas_[c.shared_index], c.row - anchor.row, c.col - anchor.col, &f)) {
        *why = "cannot save: the shared formula of " + CellName(anchor.row, anchor.col) + " on sheet " +
               name_ + " cannot be written out for the cells that share it";
        return false;
      }
      materialised[static_cast<uint32_t>(i)] = f;
    }
  }
  bool ok = true;
  for (const auto& ed : edits_) {
    const Cell& c = cells_[ed.first];
    auto m = materialised.find(ed.first);
    splices.push_back({c.begin, c.end,
                       RenderCell(&c, c.row, c.col, ed.second, m == materialised.end() ? nullptr : &m->second,
                                  &ok, why)});
    if (m != materialised.end()) materialised.erase(m);
  }
  CellEdit none;
  for (const auto& m : materialised) {
    const Cell& c = cells_[m.first];
    splices.push_back({c.begin, c.end, RenderCell(&c, c.row, c.col, none, &m.second, &ok, why)});
  }
  if (!new_cells_.empty()) {
    // Group new cells by row, then place them among the existing rows.
    std::map<int, std::vector<std::pair<int, const CellEdit*>>> by_row;
    for (const auto& nc : new_cells_) by_row[nc.first.first].push_back({nc.first.second, &nc.second});
    std::string newrows;
    for (const auto& br : by_row) {
      int row = br.first;
      auto it = std::lower_bound(rows_.begin(), rows_.end(), row,
                                 [](const RowSpan& r, int v) { return r.row < v; });
      if (it != rows_.end() && it->row == row) {
        const RowSpan& rs = *it;
        // Row start tag without its spans hint, which may no longer hold.
        std::string_view tag(xml_.data() + rs.begin, rs.tag_end - rs.begin);
        XmlScanner x(tag);
        x.Next();
        std::string start = "<" + std::string(x.name());
        for (const XmlAttr& a : x.attrs())
          if (a.name != "spans") start += " " + std::string(a.name) + "=\"" + Requote(a.raw) + "\"";
        start += ">";
        std::string rowp = PrefixOf(x.name());
        if (rs.self_closing) {
          std::string text = start;
          for (const auto& cc : br.second) text += RenderCell(nullptr, row, cc.first, *cc.second, nullptr, &ok, why);
          text += "</" + std::string(x.name()) + ">";
          splices.push_back({rs.begin, rs.tag_end, text});
          continue;
        }
        splices.push_back({rs.begin, rs.tag_end, start});
        const Cell* first = cells_.data() + rs.first_cell;
        const Cell* last = first + rs.cell_count;
        for (const auto& cc : br.second) {
          const Cell* pos = std::lower_bound(first, last, cc.first, [](const Cell& a, int v) { return a.col < v; });
          uint32_t at = pos == last ? rs.close : pos->begin;
          splices.push_back({at, at, RenderCell(nullptr, row, cc.first, *cc.second, nullptr, &ok, why)});
        }
      } else {
        std::string text = "<" + prefix_ + "row r=\"" + std::to_string(row) + "\">";
        for (const auto& cc : br.second) text += RenderCell(nullptr, row, cc.first, *cc.second, nullptr, &ok, why);
        text += "</" + prefix_ + "row>";
        uint32_t at = it == rows_.end() ? sheet_data_close_ : it->begin;
        if (sheet_data_self_closing_) {
          newrows += text;
        } else {
          splices.push_back({at, at, text});
        }
      }
    }
    if (sheet_data_self_closing_) {
      splices.push_back({sheet_data_begin_, sheet_data_tag_end_,
                         "<" + prefix_ + "sheetData>" + newrows + "</" + prefix_ + "sheetData>"});
    }
    if (has_dimension_) {
      std::string_view tag(xml_.data() + dimension_begin_, dimension_end_ - dimension_begin_);
      XmlScanner x(tag);
      x.Next();
      std::string name(x.name());
      splices.push_back({dimension_begin_, dimension_end_,
                         "<" + name + " ref=\"" + AreaName(UsedRange()) + "\"/>"});
    }
  }
  if (!ok) return false;
  std::stable_sort(splices.begin(), splices.end(),
                   [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
  out->clear();
  out->reserve(xml_.size() + splices.size() * 64);
  uint32_t at = 0;
  for (const Splice& s : splices) {
    if (s.begin < at) {
      *why = "cannot save: overlapping edits in sheet " + name_;
      return false;
    }
    out->append(xml_, at, s.begin - at);
    out->append(s.text);
    at = s.end;
  }
  out->append(xml_, at, std::string::npos);
  return true;
}

// ---------------------------------------------------------------- workbook

const std::string& WorkbookDoc::SharedString(uint32_t i) const { return shared_strings_[i]; }

bool WorkbookDoc::dirty() const {
  for (const auto& s : sheets_)
    if (s->dirty()) return true;
  return false;
}

void WorkbookDoc::InitBlank(const std::string& name) {
  blank_ = true;
  display_name_ = name;
  date_xf_.assign(1, false);
  auto sheet = std::make_shared<SheetDoc>(this, "Sheet1", SheetDoc::Kind::Worksheet, "xl/worksheets/sheet1.xml");
  std::string why;
  sheet->Load(
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/></worksheet>",
      &why);
  sheets_.push_back(sheet);
}

bool WorkbookDoc::Open(const std::string& path, std::string* why) {
  path_ = AbsolutePath(path);
  size_t cut = path_.find_last_of("/\\");
  display_name_ = cut == std::string::npos ? path_ : path_.substr(cut + 1);
  if (!ReadWholeFile(path, kMaxFileSize, &file_, why)) return false;
  return Load(why);
}

bool WorkbookDoc::Load(std::string* why) {
  if (!zip_.Open(&file_, why)) return false;
  auto part = [&](const std::string& name, std::string* out) -> bool {
    int i = zip_.Find(name);
    if (i < 0) {
      *why = "the workbook is damaged: part " + name + " is missing";
      return false;
    }
    return zip_.Extract(i, out, why);
  };
  std::string xml;
  if (zip_.Find("[Content_Types].xml") < 0) {
    *why = "the file is a zip but not an Office package (no [Content_Types].xml)";
    return false;
  }
  // The workbook part, found through the package relationships.
  if (!part("_rels/.rels", &xml)) return false;
  std::vector<Relationship> rels;
  if (!ParseRels(xml, &rels, why)) {
    *why = "the workbook is damaged: _rels/.rels: " + *why;
    return false;
  }
  workbook_part_.clear();
  for (const Relationship& r : rels)
    if (!r.external && EndsWith(r.type, "/officeDocument")) workbook_part_ = ResolveTarget("", r.target);
  if (workbook_part_.empty()) {
    *why = "the package has no main document";
    return false;
  }
  std::string ct;
  if (!part("[Content_Types].xml", &ct)) return false;
  if (ct.find("spreadsheetml") == std::string::npos && ct.find("ms-excel") == std::string::npos) {
    *why = "the package is not a spreadsheet workbook";
    return false;
  }
  rels_part_ = RelsPartOf(workbook_part_);
  std::vector<Relationship> wrels;
  if (zip_.Find(rels_part_) >= 0) {
    if (!part(rels_part_, &xml)) return false;
    if (!ParseRels(xml, &wrels, why)) {
      *why = "the workbook is damaged: " + rels_part_ + ": " + *why;
      return false;
    }
  }
  auto rel_by_id = [&](const std::string& id) -> const Relationship* {
    for (const Relationship& r : wrels)
      if (r.id == id) return &r;
    return nullptr;
  };
  shared_strings_.clear();
  styles_part_.clear();
  calc_chain_part_.clear();
  for (const Relationship& r : wrels) {
    if (r.external) continue;
    if (EndsWith(r.type, "/sharedStrings")) {
      std::string name = ResolveTarget(workbook_part_, r.target);
      if (!part(name, &xml) || !LoadSharedStrings(xml, why)) return false;
    } else if (EndsWith(r.type, "/styles")) {
      styles_part_ = ResolveTarget(workbook_part_, r.target);
    } else if (EndsWith(r.type, "/calcChain")) {
      calc_chain_part_ = ResolveTarget(workbook_part_, r.target);
    }
  }
  structured_refs_ = false;
  date_xf_.clear();
  xf_spans_.clear();
  has_cellxfs_ = false;
  styles_xml_.clear();
  if (!styles_part_.empty()) {
    if (!part(styles_part_, &styles_xml_) || !LoadStyles(styles_xml_, why)) return false;
  }
  // Sheets in workbook order.
  if (!part(workbook_part_, &xml)) return false;
  std::vector<std::shared_ptr<SheetDoc>> sheets;
  date1904_ = false;
  {
    XmlScanner x(xml);
    for (;;) {
      XmlEvent ev = x.Next();
      if (ev == XmlEvent::Eof) break;
      if (ev == XmlEvent::Error) {
        *why = "the workbook is damaged: " + workbook_part_ + ": " + x.error();
        return false;
      }
      if (ev != XmlEvent::Start) continue;
      if (x.local() == "workbookPr") {
        std::string_view v;
        if (x.Attr("date1904", &v)) date1904_ = v == "1" || v == "true";
      } else if (x.local() == "definedName") {
        // Names are checked for structured references below, from their text.
        size_t depth = x.depth();
        while (x.depth() >= depth) {
          XmlEvent e2 = x.Next();
          if (e2 == XmlEvent::Text && x.text().find('[') != std::string_view::npos) MarkStructuredRefs();
          if (e2 == XmlEvent::Eof || e2 == XmlEvent::Error) break;
        }
      } else if (x.local() == "sheet") {
        std::string name, id;
        for (const XmlAttr& a : x.attrs()) {
          if (a.name == "name") name = UnescapeOoxml(Decode(a.raw));
          else if (LocalName(a.name) == "id" && a.name != "id") id = Decode(a.raw);
        }
        const Relationship* r = rel_by_id(id);
        if (!r || r->external) {
          *why = "the workbook is damaged: sheet " + name + " has no part";
          return false;
        }
        SheetDoc::Kind kind = EndsWith(r->type, "/worksheet")  ? SheetDoc::Kind::Worksheet
                              : EndsWith(r->type, "/chartsheet") ? SheetDoc::Kind::Chart
                                                                 : SheetDoc::Kind::Other;
        sheets.push_back(std::make_shared<SheetDoc>(this, name, kind, ResolveTarget(workbook_part_, r->target)));
      }
    }
  }
  if (sheets.empty()) {
    *why = "the workbook has no sheets";
    return false;
  }
  for (auto& s : sheets) {
    if (s->kind() != SheetDoc::Kind::Worksheet) continue;
    std::string sx;
    if (!part(s->part(), &sx) || !s->Load(std::move(sx), why)) return false;
    // Tables and pivot tables of the sheet, through its relationships.
    std::string srels_name = RelsPartOf(s->part());
    if (zip_.Find(srels_name) < 0) continue;
    std::vector<Relationship> srels;
    if (!part(srels_name, &xml) || !ParseRels(xml, &srels, why)) {
      *why = "the workbook is damaged: " + srels_name + ": " + *why;
      return false;
    }
    for (const Relationship& r : srels) {
      bool table = EndsWith(r.type, "/table");
      if (r.external || !(table || EndsWith(r.type, "/pivotTable"))) continue;
      std::string name = ResolveTarget(s->part(), r.target);
      if (zip_.Find(name) < 0 || !part(name, &xml)) continue;
      XmlScanner x(xml);
      for (;;) {
        XmlEvent ev = x.Next();
        if (ev == XmlEvent::Eof || ev == XmlEvent::Error) break;
        if (ev != XmlEvent::Start) continue;
        std::string_view ref, v;
        CellRect area;
        if (table && x.depth() == 1) {
          if (!x.Attr("ref", &ref) || !ParseArea(ref, &area)) break;
          if (x.Attr("headerRowCount", &v) && v == "0") break;
          area.row2 = area.row1;
          SheetDoc::Table t;
          t.part = name;
          t.name = x.Attr("displayName", &v) ? Decode(v) : std::string("a table");
          t.header = area;
          s->tables_.push_back(t);
          continue;
        }
        if (table && x.local() == "tableColumn" && !s->tables_.empty() && s->tables_.back().part == name) {
          s->tables_.back().columns.push_back(x.Attr("name", &v) ? UnescapeOoxml(Decode(v)) : std::string());
        } else if (table && (x.local() == "calculatedColumnFormula" || x.local() == "totalsRowFormula")) {
          MarkStructuredRefs();
        }
        if (!table && x.local() == "location" && x.Attr("ref", &ref) && ParseArea(ref, &area)) {
          s->guarded_.push_back({area, "cannot change part of a pivot table report"});
          break;
        }
      }
    }
  }
  if (sheets_.size() == sheets.size()) {
    // Reloading after a save: keep the sheet objects others hold.
    for (size_t i = 0; i < sheets.size(); ++i) *sheets_[i] = std::move(*sheets[i]);
  } else {
    sheets_ = std::move(sheets);
  }
  return true;
}

bool WorkbookDoc::LoadSharedStrings(const std::string& xml, std::string* why) {
  XmlScanner x(xml);
  std::string cur;
  bool in_si = false, in_t = false;
  int rph = 0;
  for (;;) {
    XmlEvent ev = x.Next();
    if (ev == XmlEvent::Eof) break;
    if (ev == XmlEvent::Error) {
      *why = "the workbook is damaged: shared strings: " + x.error();
      return false;
    }
    if (ev == XmlEvent::Text) {
      if (in_si && in_t && rph == 0 && !AppendCharacters(x, &cur)) {
        *why = "the workbook is damaged: shared strings: bad character reference";
        return false;
      }
      continue;
    }
    std::string_view ln = x.local();
    if (ev == XmlEvent::Start) {
      std::string_view n;
      if (x.depth() == 1 && x.Attr("uniqueCount", &n)) {
        long long count = 0;
        // The declared count sizes the table, within what the XML could hold.
        if (ParseInt(n, &count) && count > 0)
          shared_strings_.reserve(static_cast<size_t>(std::min<long long>(count, static_cast<long long>(xml.size() / 8))));
      }
      if (ln == "si" && x.depth() == 2) {
        in_si = true;
        cur.clear();
      } else if (ln == "t") {
        in_t = true;
      } else if (ln == "rPh") {
        ++rph;
      }
    } else {
      if (ln == "si" && in_si && x.depth() == 1) {
        shared_strings_.push_back(UnescapeOoxml(cur));
        in_si = false;
      } else if (ln == "t") {
        in_t = false;
      } else if (ln == "rPh") {
        --rph;
      }
    }
  }
  return true;
}

bool WorkbookDoc::LoadStyles(const std::string& xml, std::string* why) {
  XmlScanner x(xml);
  std::map<long long, std::string> formats;
  std::vector<long long> xf_fmt;
  int section = 0;  // 1 numFmts, 2 cellXfs
  size_t xf_begin = 0;
  for (;;) {
    XmlEvent ev = x.Next();
    if (ev == XmlEvent::Eof) break;
    if (ev == XmlEvent::Error) {
      *why = "the workbook is damaged: styles: " + x.error();
      return false;
    }
    if (ev == XmlEvent::Text) continue;
    std::string_view ln = x.local();
    if (ev == XmlEvent::Start) {
      if (x.depth() == 2) {
        if (ln == "numFmts") section = 1;
        else if (ln == "cellXfs") {
          section = 2;
          has_cellxfs_ = !x.self_closing();
          cellxfs_tag_begin_ = static_cast<uint32_t>(x.begin());
          cellxfs_tag_end_ = static_cast<uint32_t>(x.end());
          cellxfs_prefix_ = PrefixOf(x.name());
        } else section = 0;
      } else if (x.depth() == 3 && section == 1 && ln == "numFmt") {
        std::string_view id, code;
        long long n;
        if (x.Attr("numFmtId", &id) && x.Attr("formatCode", &code) && ParseInt(id, &n))
          formats[n] = Decode(code);
      } else if (x.depth() == 3 && section == 2 && ln == "xf") {
        std::string_view id;
        long long n = 0;
        if (!x.Attr("numFmtId", &id) || !ParseInt(id, &n)) n = 0;
        xf_fmt.push_back(n);
        xf_begin = x.begin();
        if (x.self_closing()) {
          x.Next();
          xf_spans_.push_back({static_cast<uint32_t>(xf_begin), static_cast<uint32_t>(x.end())});
        }
      }
    } else {
      if (x.depth() == 2 && section == 2 && ln == "xf") {
        xf_spans_.push_back({static_cast<uint32_t>(xf_begin), static_cast<uint32_t>(x.end())});
      } else if (x.depth() == 1 && ln == "cellXfs") {
        cellxfs_close_ = static_cast<uint32_t>(x.begin());
        section = 0;
      }
    }
  }
  date_xf_.assign(xf_fmt.size(), false);
  for (size_t i = 0; i < xf_fmt.size(); ++i) {
    auto f = formats.find(xf_fmt[i]);
    date_xf_[i] = f != formats.end() ? IsDateFormatCode(f->second) : IsBuiltinDateFormat(xf_fmt[i]);
  }
  return true;
}

uint32_t WorkbookDoc::StyleFor(const StyleRequest& r) const {
  auto it = style_map_.find(r);
  return it == style_map_.end() ? r.base : it->second;
}

namespace {

const char* HorizontalName(int code) {
  switch (code) {
    case -4108: return "center";
    case -4131: return "left";
    case -4152: return "right";
    case -4130: return "justify";
    case -4117: return "distributed";
    case 1: return "general";
    case 5: return "fill";
    case 7: return "centerContinuous";
    default: return nullptr;
  }
}

}  // namespace

bool WorkbookDoc::RenderStyles(std::string* out, std::string* why) {
  if (styles_part_.empty() || !has_cellxfs_ || xf_spans_.empty()) {
    *why = "cannot save: the workbook has no cell formats to extend";
    return false;
  }
  std::string added;
  // In the order of the indexes handed out.
  std::vector<StyleRequest> order(style_map_.size());
  for (const auto& sm : style_map_) order[sm.second - xf_spans_.size()] = sm.first;
  for (const StyleRequest& req : order) {
    uint32_t base = req.base < xf_spans_.size() ? req.base : 0;
    std::string_view frag(styles_xml_.data() + xf_spans_[base].first,
                          xf_spans_[base].second - xf_spans_[base].first);
    XmlScanner x(frag);
    x.Next();
    std::string p = PrefixOf(x.name());
    std::string xf_name(x.name());
    std::string xf = "<" + xf_name;
    for (const XmlAttr& a : x.attrs())
      if (a.name != "applyAlignment") xf += " " + std::string(a.name) + "=\"" + Requote(a.raw) + "\"";
    xf += " applyAlignment=\"1\">";
    std::string align = "<" + p + "alignment";
    std::string rest;
    bool have_align = false;
    for (;;) {
      XmlEvent ev = x.Next();
      if (ev == XmlEvent::Eof || ev == XmlEvent::Error) break;
      if (ev == XmlEvent::Start && x.depth() == 2) {
        size_t b = x.begin();
        bool is_align = x.local() == "alignment";
        if (is_align) {
          have_align = true;
          for (const XmlAttr& a : x.attrs()) {
            if ((a.name == "horizontal" && req.horizontal != 0) || (a.name == "shrinkToFit" && req.shrink != -1))
              continue;
            align += " " + std::string(a.name) + "=\"" + Requote(a.raw) + "\"";
          }
        }
        while (x.depth() >= 2) {
          XmlEvent e2 = x.Next();
          if (e2 == XmlEvent::Eof || e2 == XmlEvent::Error) break;
        }
        if (!is_align) rest += std::string(frag.substr(b, x.end() - b));
      }
    }
    (void)have_align;
    if (req.horizontal != 0) align += std::string(" horizontal=\"") + HorizontalName(req.horizontal) + "\"";
    if (req.shrink != -1) align += std::string(" shrinkToFit=\"") + (req.shrink ? "1" : "0") + "\"";
    align += "/>";
    xf += align + rest + "</" + xf_name + ">";
    added += xf;
  }
  // The cellXfs start tag with its new count.
  std::string_view tag(styles_xml_.data() + cellxfs_tag_begin_, cellxfs_tag_end_ - cellxfs_tag_begin_);
  XmlScanner t(tag);
  t.Next();
  std::string start = "<" + std::string(t.name());
  for (const XmlAttr& a : t.attrs())
    if (a.name != "count") start += " " + std::string(a.name) + "=\"" + Requote(a.raw) + "\"";
  start += " count=\"" + std::to_string(xf_spans_.size() + style_map_.size()) + "\">";
  out->clear();
  out->append(styles_xml_, 0, cellxfs_tag_begin_);
  out->append(start);
  out->append(styles_xml_, cellxfs_tag_end_, cellxfs_close_ - cellxfs_tag_end_);
  out->append(added);
  out->append(styles_xml_, cellxfs_close_, std::string::npos);
  return true;
}

bool WorkbookDoc::OpenBytes(std::string bytes, const std::string& name, std::string* why) {
  display_name_ = name;
  file_ = std::move(bytes);
  return Load(why);
}

bool WorkbookDoc::Adopt(std::string bytes, std::string* why) {
  file_ = std::move(bytes);
  std::string reason;
  if (!Load(&reason)) {
    *why = "the saved workbook could not be read back: " + reason;
    return false;
  }
  return true;
}

bool WorkbookDoc::Save(std::string* why) {
  if (stale_) return true;  // saved, and not changed since
  if (blank_ || path_.empty()) {
    *why = "the workbook has never been saved to a file";
    return false;
  }
  std::string archive;
  bool changed = false;
  if (!Build(&archive, &changed, why)) return false;
  if (!changed) return true;  // nothing to write: the file stays as it is
  if (!SaveOverFile(path_, archive, why)) return false;
  // The saved file is the new starting point; it is read again only if the
  // workbook is used after the save (a batch closes it straight away).
  file_ = std::move(archive);
  stale_ = true;
  for (auto& sh : sheets_) sh->DropEdits();
  return true;
}

bool WorkbookDoc::Refresh(std::string* why) {
  if (!stale_) return true;
  stale_ = false;
  std::string reason;
  if (!Load(&reason)) {
    closed_ = true;
    *why = "the saved workbook could not be read back: " + reason;
    return false;
  }
  return true;
}

bool WorkbookDoc::Build(std::string* archive_out, bool* changed, std::string* why) {
  *changed = false;
  if (!dirty()) return true;
  // One new cell format per distinct (format, alignment change).
  style_map_.clear();
  uint32_t next = static_cast<uint32_t>(xf_spans_.size());
  for (const auto& s : sheets_) {
    for (const auto& e : s->edits_) {
      if (e.second.horizontal == 0 && e.second.shrink == -1) continue;
      StyleRequest r{s->cells_[e.first].style, e.second.horizontal, e.second.shrink};
      if (!style_map_.count(r)) style_map_[r] = next++;
    }
    for (const auto& e : s->new_cells_) {
      if (e.second.horizontal == 0 && e.second.shrink == -1) continue;
      StyleRequest r{0, e.second.horizontal, e.second.shrink};
      if (!style_map_.count(r)) style_map_[r] = next++;
    }
  }
  std::map<std::string, std::string> replaced;
  std::set<std::string> dropped;
  if (!style_map_.empty()) {
    std::string styles;
    if (!RenderStyles(&styles, why)) return false;
    replaced[styles_part_] = std::move(styles);
  }
  for (const auto& s : sheets_) {
    for (const SheetDoc::Table& t : s->tables_) {
      if (t.renames.empty()) continue;
      int ti = zip_.Find(t.part);
      std::string xml;
      if (ti < 0 || !zip_.Extract(ti, &xml, why)) return false;
      XmlScanner x(xml);
      std::string out;
      size_t at = 0;
      int k = 0;
      for (;;) {
        XmlEvent ev = x.Next();
        if (ev == XmlEvent::Eof) break;
        if (ev == XmlEvent::Error) {
          *why = "cannot save: " + t.part + ": " + x.error();
          return false;
        }
        if (ev != XmlEvent::Start || x.local() != "tableColumn") continue;
        auto r = t.renames.find(k++);
        if (r == t.renames.end()) continue;
        std::string tag = "<" + std::string(x.name());
        for (const XmlAttr& a : x.attrs()) {
          if (a.name == "name") continue;
          tag += " " + std::string(a.name) + "=\"" + Requote(a.raw) + "\"";
        }
        tag += " name=\"";
        AppendEscaped(EscapeOoxml(r->second), true, &tag);
        tag += x.self_closing() ? "\"/>" : "\">";
        out.append(xml, at, x.begin() - at);
        out += tag;
        at = x.end();
      }
      out.append(xml, at, std::string::npos);
      replaced[t.part] = std::move(out);
    }
  }
  bool removed_formula = false;
  for (const auto& s : sheets_) {
    if (!s->dirty()) continue;
    std::string xml;
    if (!s->Render(&xml, why)) return false;
    replaced[s->part()] = std::move(xml);
    removed_formula = removed_formula || s->removed_formula();
  }
  // The calculation chain lists formula cells; rather than keep it in step,
  // drop it with its relationship and content type: the spreadsheet rebuilds it.
  if (removed_formula && !calc_chain_part_.empty() && zip_.Find(calc_chain_part_) >= 0) {
    std::string xml;
    if (!zip_.Extract(zip_.Find(rels_part_), &xml, why)) return false;
    std::vector<Relationship> rels;
    if (!ParseRels(xml, &rels, why)) return false;
    for (auto it = rels.rbegin(); it != rels.rend(); ++it)
      if (EndsWith(it->type, "/calcChain")) xml.erase(it->begin, it->end - it->begin);
    replaced[rels_part_] = xml;
    int cti = zip_.Find("[Content_Types].xml");
    if (!zip_.Extract(cti, &xml, why)) return false;
    XmlScanner x(xml);
    std::vector<std::pair<size_t, size_t>> cut;
    for (;;) {
      XmlEvent ev = x.Next();
      if (ev == XmlEvent::Eof || ev == XmlEvent::Error) break;
      std::string_view pn;
      if (ev == XmlEvent::Start && x.local() == "Override" && x.Attr("PartName", &pn) &&
          ResolveTarget("", Decode(pn)) == calc_chain_part_) {
        size_t b = x.begin();
        if (x.self_closing()) x.Next();
        else while (x.Next() != XmlEvent::End) {}
        cut.push_back({b, x.end()});
      }
    }
    for (auto it = cut.rbegin(); it != cut.rend(); ++it) xml.erase(it->first, it->second - it->first);
    replaced["[Content_Types].xml"] = xml;
    dropped.insert(calc_chain_part_);
  }
  ZipWriter w(compression_level, file_.size() + file_.size() / 4 + 4096);
  for (size_t i = 0; i < zip_.entries().size(); ++i) {
    const ZipEntry& e = zip_.entries()[i];
    if (dropped.count(e.name)) continue;
    auto r = replaced.find(e.name);
    if (r == replaced.end()) {
      w.AddRaw(e, zip_.Raw(static_cast<int>(i)));
    } else if (!w.AddDeflated(e.name, r->second, e.mod_time, e.mod_date, why)) {
      return false;
    }
  }
  if (!w.Finish(archive_out, why)) return false;
  *changed = true;
  return true;
}

}  // namespace xlsx
