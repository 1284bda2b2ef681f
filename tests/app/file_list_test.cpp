#include <gtest/gtest.h>

#include "app/exit_routine.h"
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
