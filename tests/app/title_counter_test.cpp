#include <gtest/gtest.h>

#include "app/window_port.h"
#include "tests/support/fake_window.h"
#include "text/encoding.h"

TEST(AppTitleCounter, CountsFromTheCaptionsNumber) {
  struct Case {
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {FromUtf8("请文件夹里面别放入其他文件，不然后果自负 (cellsweep)"), "1"},
      {"1", "2"},
      {"", "1"},
      {"41", "42"},
      {"2.5", "3.5"},
      {"-1", "0"},
      {"9999999999999", "1e+013"},
      {"7 files", "8"},
  };
  ScopedFakeWindow fake;
  for (const Case& c : cases) {
    fake.window.caption = c.before;
    BumpTitleCounter();
    EXPECT_EQ(fake.window.caption, c.after) << c.before;
  }
}
