#pragma once
// Moving a formula's relative references, as the spreadsheet does when a
// shared formula is written out for one of the cells that share it.

#include <string>

namespace xlsx {

// The formula of a cell drow rows and dcol columns away from the one that
// holds formula: relative row and column parts of A1 references, column
// ranges (A:C) and row ranges (2:5) move; absolute ($) parts, string
// literals, sheet and table names stay. False when a reference would leave
// the sheet or the formula holds something this routine does not read safely.
bool TranslateFormula(const std::string& formula, int drow, int dcol, std::string* out);

}  // namespace xlsx
