#include "replace/column_letters.h"

std::string ColumnLetters(int column) {
  if (column < 1) return std::string();
  // Letters from the right, 26 to a place with no zero digit (Z stands for
  // 26): past ZZ this goes on to AAA, where a two-letter scheme would run past Z
  // and name no cell at all. Built in place, as it runs for every cell visited.
  char letters[8];
  int at = sizeof letters;
  unsigned n = static_cast<unsigned>(column);
  while (n > 0) {
    unsigned digit = (n - 1) % 26;
    letters[--at] = static_cast<char>('A' + digit);
    n = (n - 1) / 26;
  }
  return std::string(letters + at, letters + sizeof letters);
}
