#include "spreadsheet/xlsx/cell_ref.h"

#include <algorithm>

namespace xlsx {

bool ParseCell(std::string_view t, int* row, int* col) {
  size_t i = 0;
  if (i < t.size() && t[i] == '$') ++i;
  long long c = 0;
  size_t letters = 0;
  while (i < t.size() && ((t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= 'a' && t[i] <= 'z'))) {
    char ch = static_cast<char>(t[i] >= 'a' ? t[i] - 'a' + 'A' : t[i]);
    c = c * 26 + (ch - 'A' + 1);
    ++i;
    if (++letters > 3) return false;
  }
  if (letters == 0) return false;
  if (i < t.size() && t[i] == '$') ++i;
  long long r = 0;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
    r = r * 10 + (t[i] - '0');
    ++i;
    if (++digits > 7) return false;
  }
  if (digits == 0 || i != t.size()) return false;
  if (r < 1 || r > kMaxRow || c < 1 || c > kMaxCol) return false;
  *row = static_cast<int>(r);
  *col = static_cast<int>(c);
  return true;
}

bool ParseArea(std::string_view t, CellRect* rect) {
  size_t colon = t.find(':');
  int r1, c1, r2, c2;
  if (colon == std::string_view::npos) {
    if (!ParseCell(t, &r1, &c1)) return false;
    r2 = r1;
    c2 = c1;
  } else if (!ParseCell(t.substr(0, colon), &r1, &c1) || !ParseCell(t.substr(colon + 1), &r2, &c2)) {
    return false;
  }
  rect->row1 = std::min(r1, r2);
  rect->row2 = std::max(r1, r2);
  rect->col1 = std::min(c1, c2);
  rect->col2 = std::max(c1, c2);
  return true;
}

std::string ColumnName(int col) {
  std::string s;
  while (col > 0) {
    int rem = (col - 1) % 26;
    s.insert(s.begin(), static_cast<char>('A' + rem));
    col = (col - 1) / 26;
  }
  return s;
}

std::string CellName(int row, int col) { return ColumnName(col) + std::to_string(row); }

std::string AreaName(const CellRect& r) {
  if (r.row1 == r.row2 && r.col1 == r.col2) return CellName(r.row1, r.col1);
  return CellName(r.row1, r.col1) + ":" + CellName(r.row2, r.col2);
}

}  // namespace xlsx
