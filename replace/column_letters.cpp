#include "replace/column_letters.h"

#include "text/text.h"

std::string ColumnLetters(int column) {
  if (column < 1) return std::string();
  if (column <= 26) return CharFromCode(column + 64);
  // Letters from the right, 26 to a place with no zero digit (Z stands for
  // 26): past ZZ this goes on to AAA, where a two-letter scheme would run past Z
  // and name no cell at all.
  int high = RealToInteger(column / 26.0);
  int low = RealToInteger(RealRemainder(column, 26.0));
  std::string last;
  if (low == 0) {
    last = "Z";
    high -= 1;
  } else {
    last = CharFromCode(low + 64);
  }
  return Concat(ColumnLetters(high), last);
}
