// Fatal errors end the process with -1 and skip the exit routine. (On
// Windows the fatal error shows a message box first; the window tests cover
// it there.)

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/exit_routine.h"
#include "app/fatal.h"
#include "app/file_list.h"

TEST(AppFileListDeathTest, NumberOutOfRangeEndsTheProcessWithMinusOne) {
  FileList.Append("x");
  const int count = FileList.Count();
  for (int number : {0, -1, count + 1}) {
    EXPECT_EXIT(FileList.At(number), testing::ExitedWithCode(255), "cellsweep: .*") << number;
  }
}

TEST(AppFatalDeathTest, SkipsTheExitRoutine) {
  // The exit routine would free the list; a fatal exit must not run it, nor
  // anything registered with atexit.
  EXPECT_EXIT(
      {
        RegisterExitRoutine();
        std::atexit([] { std::fputs("atexit ran\n", stderr); });
        FatalError("boom");
      },
      testing::ExitedWithCode(255), "^cellsweep: boom\n$");
}
