#include "spreadsheet/xlsx/formula.h"

#include "spreadsheet/xlsx/cell_ref.h"

namespace xlsx {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsTokenChar(char c) {
  return IsLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '$' || c == '\\' || c == '?' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Splits "$AB$12" into its parts; false when the token is not a cell reference.
bool SplitCell(const std::string& t, bool* col_abs, int* col, bool* row_abs, int* row) {
  size_t i = 0;
  *col_abs = i < t.size() && t[i] == '$';
  if (*col_abs) ++i;
  size_t ls = i;
  while (i < t.size() && IsLetter(t[i])) ++i;
  if (i == ls || i - ls > 3) return false;
  *row_abs = i < t.size() && t[i] == '$';
  std::string letters = t.substr(ls, i - ls);
  if (*row_abs) ++i;
  size_t ds = i;
  while (i < t.size() && IsDigit(t[i])) ++i;
  if (i == ds || i != t.size() || i - ds > 7) return false;
  int r = 0, c = 0;
  if (!ParseCell(letters + t.substr(ds), &r, &c)) return false;
  *row = r;
  *col = c;
  return true;
}

bool SplitColumn(const std::string& t, bool* abs, int* col) {
  size_t i = 0;
  *abs = !t.empty() && t[0] == '$';
  if (*abs) ++i;
  if (t.size() - i < 1 || t.size() - i > 3) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (!IsLetter(t[k])) return false;
  int r = 0, c = 0;
  if (!ParseCell(t.substr(i) + "1", &r, &c)) return false;
  *col = c;
  return true;
}

bool SplitRow(const std::string& t, bool* abs, int* row) {
  size_t i = 0;
  *abs = !t.empty() && t[0] == '$';
  if (*abs) ++i;
  if (t.size() - i < 1 || t.size() - i > 7) return false;
  long v = 0;
  for (size_t k = i; k < t.size(); ++k) {
    if (!IsDigit(t[k])) return false;
    v = v * 10 + (t[k] - '0');
  }
  if (v < 1 || v > kMaxRow) return false;
  *row = static_cast<int>(v);
  return true;
}

std::string Dollar(bool abs) { return abs ? "$" : ""; }

}  // namespace

bool TranslateFormula(const std::string& f, int drow, int dcol, std::string* out) {
  out->clear();
  size_t i = 0;
  const size_t n = f.size();
  while (i < n) {
    char c = f[i];
    if (c == '"' || c == '\'') {  // string literal or quoted sheet name; the quote doubled inside
      size_t j = i + 1;
      for (;;) {
        if (j >= n) return false;
        if (f[j] == c) {
          if (j + 1 < n && f[j + 1] == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out->append(f, i, j + 1 - i);
      i = j + 1;
      continue;
    }
    if (c == '[') {  // external book index or structured reference: copied whole
      int depth = 0;
      size_t j = i;
      for (; j < n; ++j) {
        if (f[j] == '[') ++depth;
        else if (f[j] == ']' && --depth == 0) break;
      }
      if (j >= n) return false;
      out->append(f, i, j + 1 - i);
      i = j + 1;
      continue;
    }
    if (c == '#') {  // error literal such as #REF!
      size_t j = i + 1;
      while (j < n && (IsLetter(f[j]) || f[j] == '/' || f[j] == '0' || f[j] == '_')) ++j;
      if (j < n && (f[j] == '!' || f[j] == '?')) ++j;
      out->append(f, i, j - i);
      i = j;
      continue;
    }
    if (!IsTokenChar(c)) {
      out->push_back(c);
      ++i;
      continue;
    }
    size_t j = i;
    while (j < n && IsTokenChar(f[j])) ++j;
    std::string tok = f.substr(i, j - i);
    char next = j < n ? f[j] : '\0';
    char prev = i > 0 ? f[i - 1] : '\0';
    // A number: digits with an optional fraction and exponent.
    if (IsDigit(tok[0]) || tok[0] == '.') {
      bool row_abs;
      int row;
      if ((next == ':' || prev == ':') && SplitRow(tok, &row_abs, &row)) {
        int nr = row_abs ? row : row + drow;
        if (nr < 1 || nr > kMaxRow) return false;
        *out += Dollar(row_abs) + std::to_string(nr);
        i = j;
        continue;
      }
      if ((tok.back() == 'E' || tok.back() == 'e') && (next == '+' || next == '-')) {
        size_t k = j + 1;
        while (k < n && IsDigit(f[k])) ++k;
        out->append(f, i, k - i);
        i = k;
        continue;
      }
      out->append(tok);
      i = j;
      continue;
    }
    if (next == '(' || next == '!') {  // function or sheet name
      out->append(tok);
      i = j;
      continue;
    }
    bool ca, ra;
    int col, row;
    if (tok.find('$', 1) != std::string::npos || tok[0] == '$' || IsLetter(tok[0])) {
      if (SplitCell(tok, &ca, &col, &ra, &row)) {
        int nc = ca ? col : col + dcol;
        int nr = ra ? row : row + drow;
        if (nc < 1 || nc > kMaxCol || nr < 1 || nr > kMaxRow) return false;
        *out += Dollar(ca) + ColumnName(nc) + Dollar(ra) + std::to_string(nr);
        i = j;
        continue;
      }
      if ((next == ':' || prev == ':') && SplitColumn(tok, &ca, &col)) {
        int nc = ca ? col : col + dcol;
        if (nc < 1 || nc > kMaxCol) return false;
        *out += Dollar(ca) + ColumnName(nc);
        i = j;
        continue;
      }
    }
    // R1C1-looking or other tokens the routine cannot place safely.
    if (tok[0] == '$') return false;
    out->append(tok);  // a name, TRUE/FALSE, a function name without '(' ...
    i = j;
  }
  return true;
}

}  // namespace xlsx
