#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/exit_routine.h"
#include "app/fatal.h"
#include "app/file_list.h"

TEST(AppFileList, KeepsCopiesInAppendOrderWithDuplicates) {
  const int before = FileList.Count();
  std::string path = "a/one.xlsx";
  FileList.Append(path);
  path = "changed by the caller";
  FileList.Append("b/two.xls");
  FileList.Append("a/one.xlsx");
  ASSERT_EQ(FileList.Count(), before + 3);
  EXPECT_EQ(FileList.At(before + 1), "a/one.xlsx");
  EXPECT_EQ(FileList.At(before + 2), "b/two.xls");
  EXPECT_EQ(FileList.At(before + 3), "a/one.xlsx");
}

#ifndef _WIN32
// On Windows the fatal error shows a message box; the window tests cover it there.
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
#endif

TEST(AppExitRoutine, FreesTheListOnceAndOnlyWhenRegistered) {
  FileList.Append("kept");
  RunExitRoutine();  // not registered yet in this process: nothing happens
  EXPECT_GT(FileList.Count(), 0);
  RegisterExitRoutine();
  RunExitRoutine();
  EXPECT_EQ(FileList.Count(), 0);
  FileList.Append("after");
  RunExitRoutine();  // runs once only
  EXPECT_EQ(FileList.Count(), 1);
}
