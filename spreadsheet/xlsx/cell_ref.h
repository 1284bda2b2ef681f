#pragma once
// A1-style cell names: "B7", "$B$7", "b7", and areas "A1:C3".

#include <string>
#include <string_view>

namespace xlsx {

constexpr int kMaxRow = 1048576;
constexpr int kMaxCol = 16384;

struct CellRect {
  int row1 = 1, col1 = 1, row2 = 1, col2 = 1;
  bool Contains(int r, int c) const { return r >= row1 && r <= row2 && c >= col1 && c <= col2; }
  long long Rows() const { return static_cast<long long>(row2) - row1 + 1; }
  long long Cols() const { return static_cast<long long>(col2) - col1 + 1; }
};

// One cell name; false when it is not one.
bool ParseCell(std::string_view text, int* row, int* col);
// A cell name or an area "A1:B2" (corners in any order).
bool ParseArea(std::string_view text, CellRect* rect);
std::string ColumnName(int col);
std::string CellName(int row, int col);
std::string AreaName(const CellRect& rect);

}  // namespace xlsx
