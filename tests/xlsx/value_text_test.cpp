#include "spreadsheet/value_text.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  Variant value;
  const char* text;
};

// Expected texts are those of the automation conversion to a string
// (VariantChangeType to VT_BSTR, no flags) as checked on the platform.
TEST(ValueToText, FollowsTheStandardConversion) {
  const Case cases[] = {
      {Variant::MakeEmpty(), ""},
      {Variant::MakeText("abc 中文"), "abc 中文"},
      {Variant::MakeInteger(-12), "-12"},
      {Variant::MakeReal(42), "42"},
      {Variant::MakeReal(3.25), "3.25"},
      {Variant::MakeReal(-0.0), "0"},
      {Variant::MakeReal(0.1 + 0.2), "0.3"},
      {Variant::MakeReal(1.0 / 3), "0.333333333333333"},
      {Variant::MakeReal(1e20), "1E+20"},
      {Variant::MakeReal(0.000015), "1.5E-05"},
      {Variant::MakeReal(0.0001), "0.0001"},
      {Variant::MakeReal(1e-5), "1E-05"},
      {Variant::MakeReal(123456789012345.0), "123456789012345"},
      {Variant::MakeReal(1234567890123456.0), "1.23456789012346E+15"},
      {Variant::MakeReal(1e15), "1E+15"},
      {Variant::MakeReal(-2.5e-300), "-2.5E-300"},
      {Variant::MakeLogical(true), "-1"},
      {Variant::MakeLogical(false), "0"},
      {Variant::MakeDate(45000), "2023/3/15"},
      {Variant::MakeDate(45000.75), "2023/3/15 18:00:00"},
      {Variant::MakeDate(0.5), "12:00:00"},
      {Variant::MakeDate(0), "0:00:00"},
      {Variant::MakeDate(1), "1899/12/31"},
      {Variant::MakeDate(-1.25), "1899/12/29 6:00:00"},
      {Variant::MakeDate(2.0000001), "1900/1/1 0:00:00"},
      {Variant::MakeDate(43890.99999999), "2020/3/1 0:00:00"},
      {Variant::MakeError(2042), ""},
      {Variant::MakeObject(nullptr), ""},
      {Variant::MakeArray(1, 2), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, ValueToText(c.value)) << c.text;
}

}  // namespace
