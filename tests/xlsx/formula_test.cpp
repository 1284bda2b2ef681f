#include "spreadsheet/xlsx/formula.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* formula;
  int drow, dcol;
  const char* expected;  // nullptr: refused
};

TEST(TranslateFormula, MovesRelativePartsOnly) {
  const Case cases[] = {
      {"A1+B1*$A$1", 1, 0, "A2+B2*$A$1"},
      {"A1+B1", 0, 2, "C1+D1"},
      {"$A1+A$1", 3, 3, "$A4+D$1"},
      {"SUM(A1:B2)", 2, 1, "SUM(B3:C4)"},
      {"Sheet2!A1*2", 1, 0, "Sheet2!A2*2"},
      {"'My Sheet'!B2&\"A1\"", 1, 1, "'My Sheet'!C3&\"A1\""},
      {"LOG10(A1)", 1, 0, "LOG10(A2)"},
      {"SUM(A:A)+SUM(1:1)", 1, 1, "SUM(B:B)+SUM(2:2)"},
      {"SUM($A:$A)", 1, 1, "SUM($A:$A)"},
      {"1.5E+3*A1", 1, 0, "1.5E+3*A2"},
      {"Table1[Col A]+A1", 1, 0, "Table1[Col A]+A2"},
      {"IF(A1=TRUE,#N/A,MyName)", 1, 0, "IF(A2=TRUE,#N/A,MyName)"},
      {"_xlfn.XLOOKUP(A1,B:B,C:C)", 1, 0, "_xlfn.XLOOKUP(A2,B:B,C:C)"},
      {"Z1", 0, 1, "AA1"},
      {"A1", -1, 0, nullptr},      // would leave the sheet
      {"XFD1", 0, 1, nullptr},
      {"\"unterminated", 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    std::string out;
    bool ok = xlsx::TranslateFormula(c.formula, c.drow, c.dcol, &out);
    if (c.expected) {
      EXPECT_TRUE(ok) << c.formula;
      EXPECT_EQ(c.expected, out) << c.formula;
    } else {
      EXPECT_FALSE(ok) << c.formula << " gave " << out;
    }
  }
}

}  // namespace
