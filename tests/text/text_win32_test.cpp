#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "text/char_rules.h"
#include "text/encoding.h"
#include "text/text.h"

namespace {

// The rules the tool runs with follow the ANSI code page of the process.
TEST(AnsiCodePage, RulesFollowTheCodePage) {
  const char* expect = std::getenv("CELLSWEEP_EXPECT_ACP");
  UINT acp = GetACP();
  if (expect != nullptr) {
    ASSERT_EQ(acp, static_cast<UINT>(std::atoi(expect)));
  }
  const TextRules& rules = CurrentTextRules();
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(rules.lead[b], IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE) << b;
  }
  CPINFO info;
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  if (info.MaxCharSize == 1) {
    // Western: e-acute is one byte, so the a after it is found; nothing is full-width.
    EXPECT_EQ(Find("\xE9" "a", "a"), 2);
    EXPECT_TRUE(rules.wide_blank.empty());
    EXPECT_TRUE(rules.folds.empty());
    EXPECT_EQ(TrimBothEnds(" x "), "x");
  } else {
    EXPECT_EQ(acp, 936u);
    EXPECT_EQ(rules.wide_blank, "\xA1\xA1");
    EXPECT_EQ(Find("\x95\x5C", "\\"), -1);
    EXPECT_EQ(TrimBothEnds("\ta\xA1\xA1"), "\ta");
    EXPECT_DOUBLE_EQ(TextToReal("\xA3\xB1\xA3\xB2"), 12);
    EXPECT_DOUBLE_EQ(TextToReal("\xA3\xA4" "5"), 0);  // full-width $ folds to $, not a number
    // A Chinese text made from UTF-8 at run time steps as the code page says.
    std::string t = FromUtf8("中文abc");
    EXPECT_EQ(Find(t, FromUtf8("文")), 3);
    EXPECT_EQ(Find(t, "abc"), 5);
  }
}

}  // namespace
