#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/file_list.h"
#include "collect/collect_files.h"
#include "collect/directory_search.h"
#include "tests/support/fake_window.h"
#include "tests/collect/tree.h"
#include "text/encoding.h"

namespace {

std::vector<std::string> ListSince(int before) {
  std::vector<std::string> out;
  for (int i = before + 1; i <= FileList.Count(); ++i) out.push_back(FileList.At(i));
  return out;
}

std::string Lines(const std::vector<std::string>& paths) {
  std::string s;
  for (const std::string& p : paths) s += p + "\r\n";
  return s;
}

// files and nested folders, a hidden file, an empty sub-folder, a folder with
// only sub-folders
void MakeSampleTree(TempTree& t) {
  t.AddFile("a.txt");
  t.AddFile("b.xls");
  MakeHidden(t.AddFile(".hidden.xlsx"));
  t.AddFile("s/c.xls");
  t.AddFile("s/deep/d.xlsx");
  t.AddFolder("empty");
  t.AddFile("only/x/e.txt");
  t.AddFile("only/y/f.txt");
}

}  // namespace

TEST(CollectWalk, FilesFirstThenEachSubtreeWithFullPaths) {
  TempTree t;
  MakeSampleTree(t);
  const std::vector<std::string> expected = ExpectedWalk(t.root());
  ASSERT_EQ(expected.size(), 7u);

  ScopedFakeWindow fake;
  fake.window.caption = FromUtf8("请文件夹里面别放入其他文件，不然后果自负");
  fake.window.contents[Control::编辑框2] = "kept\r\n";
  const int before = FileList.Count();
  CollectFiles(t.root(), "");

  const std::vector<std::string> got = ListSince(before);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(fake.window.contents[Control::编辑框2], "kept\r\n" + Lines(expected));
  EXPECT_EQ(fake.window.caption, "7");
  EXPECT_EQ(fake.window.pending_runs, 7);
  EXPECT_TRUE(fake.window.messages.empty());
  EXPECT_EQ(fake.window.whole_writes, 0) << "the list must be appended to, not rewritten";

  // Spot checks that do not lean on the oracle: every file is there, the
  // hidden one too, and the top folder's files precede the sub-folders'.
  auto pos = [&](const std::string& rel) {
    for (size_t i = 0; i < got.size(); ++i)
      if (got[i] == t.Path(rel)) return static_cast<int>(i);
    return -1;
  };
  for (const char* rel : {"a.txt", "b.xls", ".hidden.xlsx", "s/c.xls", "s/deep/d.xlsx", "only/x/e.txt",
                          "only/y/f.txt"}) {
    EXPECT_GE(pos(rel), 0) << rel;
  }
  EXPECT_LT(pos("b.xls"), pos("s/c.xls"));
  EXPECT_LT(pos("a.txt"), pos("only/x/e.txt"));
  EXPECT_EQ(pos("s/deep/d.xlsx"), pos("s/c.xls") + 1);
}

TEST(CollectWalk, SameFolderTwiceListsEverythingTwiceAndKeepsCounting) {
  TempTree t;
  MakeSampleTree(t);
  const std::vector<std::string> once = ExpectedWalk(t.root());
  ScopedFakeWindow fake;
  fake.window.caption = "5";
  const int before = FileList.Count();
  CollectFiles(t.root(), "");
  // A trailing separator on the folder changes nothing.
  CollectFiles(t.root() + kPathSeparator, "");
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(ListSince(before), twice);
  EXPECT_EQ(fake.window.contents[Control::编辑框2], Lines(twice));
  EXPECT_EQ(fake.window.caption, std::to_string(5 + 2 * once.size()));
}

TEST(CollectWalk, PatternAppliesAtEveryLevel) {
  TempTree t;
  MakeSampleTree(t);
  ScopedFakeWindow fake;
  const int before = FileList.Count();
  CollectFiles(t.root(), "*.txt");
  const std::vector<std::string> want = {t.Path("a.txt"), t.Path("only/x/e.txt"), t.Path("only/y/f.txt")};
  std::vector<std::string> got = ListSince(before);
  // Sub-folder order is the file system's: compare as the walk must order them.
  std::vector<std::string> oracle;
  for (const std::string& p : ExpectedWalk(t.root()))
    if (p.size() > 4 && p.compare(p.size() - 4, 4, ".txt") == 0) oracle.push_back(p);
  EXPECT_EQ(got, oracle);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_EQ(got.front(), want.front());
}

TEST(CollectWalk, MissingFolderAndEmptyFolderYieldNothingSilently) {
  TempTree t;
  t.AddFolder("empty");
  ScopedFakeWindow fake;
  fake.window.caption = "3";
  const int before = FileList.Count();
  CollectFiles(t.Path("does-not-exist"), "");
  CollectFiles(t.Path("empty"), "");
  EXPECT_EQ(FileList.Count(), before);
  EXPECT_TRUE(fake.window.messages.empty());
  EXPECT_EQ(fake.window.caption, "3");
  EXPECT_EQ(fake.window.contents[Control::编辑框2], "");
}

TEST(CollectWalk, EmptyFolderNameShowsTheErrorBoxOnly) {
  ScopedFakeWindow fake;
  fake.window.caption = "2";
  fake.window.contents[Control::编辑框2] = "x\r\n";
  const int before = FileList.Count();
  CollectFiles("", "");
  ASSERT_EQ(fake.window.messages.size(), 1u);
  EXPECT_EQ(fake.window.messages[0].text, FromUtf8("错误，搜索目录不能为空"));
  EXPECT_EQ(fake.window.messages[0].caption, FromUtf8("信息："));
  EXPECT_EQ(fake.window.messages[0].flags, kMbOk | kMbIconError | kMbTaskModal);
  EXPECT_EQ(FileList.Count(), before);
  EXPECT_EQ(fake.window.caption, "2");
  EXPECT_EQ(fake.window.contents[Control::编辑框2], "x\r\n");
  EXPECT_EQ(fake.window.pending_runs, 0);
}
