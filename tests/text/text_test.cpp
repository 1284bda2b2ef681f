#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "text/char_rules.h"
#include "text/text.h"

namespace {

// A double-byte code page laid out like the Chinese one: 0x81-0xFE lead, the
// full-width row at A3, the full-width blank at A1 A1.
bool ChineseLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
std::string ChineseFromCodePoint(unsigned cp) {
  auto pair = [](int a, int b) { return std::string{static_cast<char>(a), static_cast<char>(b)}; };
  if (cp == 0x3000) return pair(0xA1, 0xA1);
  if (cp == 0xFF5E) return pair(0xA1, 0xAB);
  if (cp == 0x2606) return pair(0xA1, 0xEE);
  if (cp == 0x2605) return pair(0xA1, 0xEF);
  if (cp == 0xFFE5) return pair(0xA3, 0xA4);
  if (cp == 0xFFE3) return pair(0xA3, 0xFE);
  if (cp >= 0xFF01 && cp <= 0xFF5D && cp != 0xFF04) return pair(0xA3, static_cast<int>(cp - 0xFF01 + 0xA1));
  return std::string();
}
// A single-byte Western code page: no lead bytes, no full-width characters.
bool NoLead(unsigned char) { return false; }
std::string NothingWide(unsigned) { return std::string(); }

const TextRules& Chinese() {
  static const TextRules r = MakeLeadByteRules(ChineseLead, ChineseFromCodePoint);
  return r;
}
const TextRules& Western() {
  static const TextRules r = MakeLeadByteRules(NoLead, NothingWide);
  return r;
}
const TextRules& Utf8() {
  static const TextRules r = MakeUtf8Rules();
  return r;
}

struct FindCase {
  const TextRules& (*rules)();
  const char* name;
  std::string t, sought;
  int start;
  int expected;
};

TEST(TextFind, StepsWholeCharactersOfEachEncoding) {
  const FindCase cases[] = {
      {Chinese, "empty sought in abc", "abc", "", 1, 1},
      {Chinese, "empty sought in empty", "", "", 1, -1},
      {Chinese, "case differs", "abc", "ABC", 1, -1},
      {Chinese, "start 3, position from the whole text", "abc", "c", 3, 3},
      {Chinese, "start below 1 counts as 1", "abc", "a", -5, 1},
      {Chinese, "start beyond the end", "abc", "c", 4, -1},
      {Chinese, "substring", "xabcx", "abc", 1, 2},
      // 0x95 0x5C is one character whose second byte is a backslash.
      {Chinese, "backslash inside a character", "\x95\x5C", "\\", 1, -1},
      {Chinese, "backslash after a character", "\x95\x5C\\", "\\", 1, 3},
      {Chinese, "double-byte sought", "ab\xD6\xD0\xCE\xC4", "\xCE\xC4", 1, 5},
      {Chinese, "no match across characters", "\xD6\xD0\xCE\xC4", "\xD0\xCE", 1, -1},
      {Chinese, "a lone lead byte at the end is still compared", "a\xD6", "\xD6", 1, 2},
      // On a Western page 0xE9 is e-acute, one byte: the a after it is found.
      {Western, "a after e-acute", "caf\xE9" "a", "a", 1, 2},
      {Western, "a right after e-acute", "\xE9" "a", "a", 1, 2},
      {Western, "last byte", "x\xE9", "\xE9", 1, 2},
      {Utf8, "after a three-byte character", "\xE4\xB8\xAD" "a", "a", 1, 4},
      {Utf8, "no match inside a character", "\xE4\xB8\xAD", "\xB8", 1, -1},
      {Utf8, "multi-byte sought", "ab\xE4\xB8\xAD\xE6\x96\x87", "\xE6\x96\x87", 1, 6},
      {Utf8, "cut-off character at the end", "a\xE4\xB8", "\xB8", 1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindWith(c.rules(), c.t, c.sought, c.start), c.expected) << c.name;
  }
}

TEST(TextFind, DefaultStartIsOne) {
  EXPECT_EQ(Find("abcabc", "c"), 3);
  EXPECT_EQ(Find("abcabc", "c", 4), 6);
  EXPECT_EQ(Find("abc", "ABC"), -1);
}

struct TrimCase {
  const TextRules& (*rules)();
  const char* name;
  std::string t, expected;
};

TEST(TextTrim, BlanksOfEachEncoding) {
  const TrimCase cases[] = {
      {Chinese, "spaces", "  a b  ", "a b"},
      {Chinese, "leading tab kept, trailing full-width blank gone", "\ta\xA1\xA1", "\ta"},
      {Chinese, "mixed blanks both ends", "\xA1\xA1 x \xA1\xA1 ", "x"},
      {Chinese, "only blanks", " \xA1\xA1 ", ""},
      {Chinese, "line breaks stay", "\r\na\n", "\r\na\n"},
      {Chinese, "lone lead byte at the end cut", "ab\xD6", "ab"},
      // A1 A1 inside a character pair is not a blank: B0 A1 | A1 B0.
      {Chinese, "A1 A1 across characters", "\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0"},
      {Western, "no full-width blank on a Western page", "a\xA1\xA1", "a\xA1\xA1"},
      {Utf8, "ideographic space", "\xE3\x80\x80" "a \xE3\x80\x80", "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimBothEndsWith(c.rules(), c.t), c.expected) << c.name;
}

struct RealCase {
  const TextRules& (*rules)();
  std::string t;
  double expected;
};

TEST(TextToRealNumber, NumbersAtTheStart) {
  const RealCase cases[] = {
      {Chinese, "12abc", 12},
      {Chinese, "not a number at all", 0},
      {Chinese, "\xA3\xB1\xA3\xB2", 12},          // full-width one, two
      {Chinese, "\xA1\xA1\xA3\xAD\xA3\xB3", -3},  // full-width blank, minus, three
      {Chinese, "  7", 7},
      {Chinese, "\t\n-2.5e1x", -25},
      {Chinese, "1.5D2", 150},
      {Chinese, "2d-1", 0.2},
      {Chinese, "3e", 3},
      {Chinese, ".5", 0.5},
      {Chinese, "+.", 0},
      {Western, "\xA3\xB1", 0},  // no full-width digits on a Western page
      {Utf8, "\xEF\xBC\x91\xEF\xBC\x92", 12},
      {Utf8, "\xE3\x80\x80" "8", 8},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(TextToRealWith(c.rules(), c.t), c.expected) << c.t;
}

TEST(TextRealToText, PercentThirteenGWithThreeExponentDigits) {
  const std::pair<double, const char*> cases[] = {
      {4.0, "4"},         {0.0, "0"},          {2.0, "2"},          {1.5, "1.5"},
      {-3.0, "-3"},       {1e13, "1e+013"},    {0.00001, "1e-005"}, {1234567890123.0, "1234567890123"},
      {1e100, "1e+100"},  {-2.5e-7, "-2.5e-007"}, {0.1, "0.1"},     {1.0 / 3, "0.3333333333333"},
  };
  for (const auto& c : cases) EXPECT_EQ(RealToText(c.first), c.second);
}

TEST(TextHelpers, BytesAndNumbers) {
  EXPECT_EQ(Length("a\xD6\xD0"), 3);
  EXPECT_EQ(Length(""), 0);
  EXPECT_EQ(Concat("a", "b", "c", "d"), "abcd");
  EXPECT_EQ(Left("abc", 2), "ab");
  EXPECT_EQ(Left("abc", 9), "abc");
  EXPECT_EQ(Left("abc", 0), "");
  EXPECT_EQ(Left("abc", -1), "");
  EXPECT_EQ(Right("abc", 2), "bc");
  EXPECT_EQ(Right("abc", 9), "abc");
  EXPECT_EQ(Right("abc", -2), "");
  EXPECT_EQ(Right("a\xD6\xD0", 1), "\xD0");  // the second byte alone
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankText(0), "");
  EXPECT_EQ(BlankText(-4), "");
  EXPECT_EQ(CharFromCode(65), "A");
  EXPECT_EQ(CharFromCode(256), "");
  EXPECT_EQ(CharFromCode(256 + 66), "B");
  EXPECT_EQ(CharFromCode(0xD6), "\xD6");
  EXPECT_EQ(IntegerToText(0), "0");
  EXPECT_EQ(IntegerToText(-42), "-42");
  EXPECT_EQ(IntegerToText(2147483647), "2147483647");
  EXPECT_EQ(IntegerToText(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(RealToInteger(2.9), 2);
  EXPECT_EQ(RealToInteger(-2.9), -2);
  EXPECT_EQ(RealToInteger(1e20), 2147483647);
  EXPECT_EQ(RealToInteger(std::nan("")), 0);
  EXPECT_DOUBLE_EQ(RealRemainder(-7, 3), -1);
  EXPECT_DOUBLE_EQ(RealRemainder(52, 26), 0);
}

TEST(TextToRealNumber, CaptionCounterRoundTrip) {
  // What the caption counter does: the initial caption reads 0, a count reads back.
  EXPECT_EQ(RealToText(TextToReal("caption text") + 1), "1");
  EXPECT_EQ(RealToText(TextToReal("41") + 1), "42");
}

}  // namespace
