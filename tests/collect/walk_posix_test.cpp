#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/file_list.h"
#include "collect/collect_files.h"
#include "tests/support/fake_window.h"
#include "tests/collect/tree.h"

// A link back up the tree must not make the walk endless, a link to a file is
// that file, and a pipe is no file to open.
TEST(CollectWalkPosix, LinksAndPipes) {
  TempTree t;
  const std::string real = t.AddFile("sub/real.xlsx");
  ASSERT_EQ(symlink(t.root().c_str(), t.Path("sub/loop").c_str()), 0);
  ASSERT_EQ(symlink(real.c_str(), t.Path("alias.xlsx").c_str()), 0);
  ASSERT_EQ(mkfifo(t.Path("pipe").c_str(), 0600), 0);
  ScopedFakeWindow fake;
  const int before = FileList.Count();
  CollectFiles(t.root(), "");
  ASSERT_EQ(FileList.Count(), before + 2);
  EXPECT_EQ(FileList.At(before + 1), t.Path("alias.xlsx"));
  EXPECT_EQ(FileList.At(before + 2), t.Path("sub/real.xlsx"));
}
