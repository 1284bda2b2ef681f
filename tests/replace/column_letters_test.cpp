#include <gtest/gtest.h>

#include <string>

#include "replace/column_letters.h"
#include "text/text.h"

namespace {

TEST(ColumnLetters, NamesColumns) {
  const std::pair<int, const char*> cases[] = {
      {1, "A"},    {2, "B"},    {26, "Z"},    {27, "AA"},  {52, "AZ"},   {53, "BA"},
      {256, "IV"}, {676, "YZ"}, {702, "ZZ"},  {703, "AAA"}, {728, "AAZ"}, {16384, "XFD"},
      {0, ""},     {-3, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ColumnLetters(c.first), c.second) << c.first;
}

// Every column maps to a distinct name of capitals, and names count up like
// the sheet's own headers: the name after Z..Z is A..A one letter longer.
TEST(ColumnLetters, EveryColumnHasItsOwnName) {
  std::string previous;
  for (int column = 1; column <= 18278; ++column) {
    std::string name = ColumnLetters(column);
    ASSERT_FALSE(name.empty()) << column;
    for (char ch : name) ASSERT_TRUE(ch >= 'A' && ch <= 'Z') << column;
    if (!previous.empty()) {
      ASSERT_TRUE(name.size() > previous.size() || (name.size() == previous.size() && name > previous))
          << previous << " then " << name;
    }
    previous = name;
  }
  EXPECT_EQ(previous, "ZZZ");
}

TEST(ColumnLetters, JoinsWithTheRowNumber) {
  EXPECT_EQ(Concat(ColumnLetters(2), IntegerToText(7)), "B7");
  EXPECT_EQ(Concat(ColumnLetters(1), IntegerToText(10)), "A10");
  EXPECT_EQ(Concat(ColumnLetters(28), IntegerToText(123)), "AB123");
}

}  // namespace
