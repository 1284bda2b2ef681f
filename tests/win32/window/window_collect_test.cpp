// Browsing for a folder and collecting its files, through the real shell
// browser in cellsweep.exe.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/win32/harness/harness.h"

using namespace harness;

namespace {

// Collects through the browser: click 按钮4, choose path, wait for the caption.
void Pick(App& app, const std::string& path, const std::string& caption_after) {
  Click(app.Control(kId按钮4));
  HWND browser = app.WaitForBrowser();
  ASSERT_NE(browser, nullptr) << "no folder browser";
  std::string why;
  ASSERT_TRUE(ChooseFolder(browser, path, &why)) << why;
  ASSERT_TRUE(WaitUntil([&] { return app.Caption() == caption_after; }))
      << "caption " << Utf8(app.Caption()) << ", expected " << caption_after;
}

}  // namespace

TEST(WindowCollect, PickedFolderFillsTheListAndCountsTwice) {
  TestFolder top("cs-pick");
  const std::string folder = top.AddFolder(Ansi("数据"));
  top.AddFile(Ansi("数据\\a.txt"));
  top.AddFile(Ansi("数据\\b.xls"));
  top.AddFile(Ansi("数据\\s\\c.xls"));
  top.AddFile(Ansi("数据\\s\\deep\\d.xlsx"));
  top.AddFolder(Ansi("数据\\empty"));

  App app;
  ASSERT_TRUE(app.Launch()) << app.why;
  Pick(app, folder, "4");
  EXPECT_EQ(GetText(app.Control(kId编辑框1)), folder);

  const std::string list = GetText(app.Control(kId编辑框2));
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list.substr(list.size() - 2), "\r\n");
  std::vector<std::string> lines = SplitLines(list);
  ASSERT_EQ(lines.size(), 4u) << Utf8(list);
  // The folder's own files first, in the order the file system gives them,
  // then the sub-folder's subtree, pre-order.
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.begin() + 2),
            (std::set<std::string>{folder + "\\a.txt", folder + "\\b.xls"}));
  EXPECT_EQ(lines[2], folder + "\\s\\c.xls");
  EXPECT_EQ(lines[3], folder + "\\s\\deep\\d.xlsx");

  // The same folder again: every file twice, the counter goes on.
  Pick(app, folder, "8");
  std::vector<std::string> again = SplitLines(GetText(app.Control(kId编辑框2)));
  ASSERT_EQ(again.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(again.begin(), again.begin() + 4), lines);
  EXPECT_EQ(std::vector<std::string>(again.begin() + 4, again.end()), lines);

  app.Close();
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(WindowCollect, CancelClearsTheFolderBoxAndReportsAnEmptyFolder) {
  // A folder typed into the box by hand is never walked: the browser's answer replaces it.
  TestFolder typed("cs-typed");
  typed.AddFile("a.xlsx");
  App app;
  ASSERT_TRUE(app.Launch()) << app.why;
  ASSERT_TRUE(SetText(app.Control(kId编辑框1), typed.Path()));
  const std::string caption = app.Caption();
  // Space on the focused browse button clicks it.
  PostKey(app.Focus(), VK_TAB);
  PostKey(app.Control(kId编辑框1), VK_TAB);
  PostKey(app.Control(kId编辑框2), VK_TAB);
  ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId按钮4); }, 5000));
  PostKey(app.Control(kId按钮4), VK_SPACE);
  HWND browser = app.WaitForBrowser();
  ASSERT_NE(browser, nullptr);
  CancelBrowser(browser);

  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), Ansi("错误，搜索目录不能为空"));
  EXPECT_EQ(GetText(box), Ansi("信息："));
  EXPECT_TRUE(MessageBoxHasIcon(box));
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the box has no owner";
  EXPECT_EQ(GetText(app.Control(kId编辑框1)), "");
  AnswerMessageBox(box);
  ASSERT_TRUE(WaitUntil([&] { return app.Dialogs().empty(); }));
  EXPECT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId按钮4); }, 5000))
      << "the focus goes back to the browse button, not to " << app.Focus() << " " << ClassOf(app.Focus())
      << " id " << GetDlgCtrlID(app.Focus());
  EXPECT_EQ(app.Caption(), caption);
  EXPECT_EQ(GetText(app.Control(kId编辑框2)), "");

  app.Close();
  EXPECT_EQ(app.WaitForExit(), 0u);
}

// A drive root comes back as "C:" and is walked as C:\*.*. Closing the window
// while the walk lets messages run ends the tool with an error box and -1.
TEST(WindowCollect, DriveRootThenCloseDuringTheWalkIsFatal) {
  App app;
  ASSERT_TRUE(app.Launch()) << app.why;
  Click(app.Control(kId按钮4));
  HWND browser = app.WaitForBrowser();
  ASSERT_NE(browser, nullptr);
  std::string why;
  ASSERT_TRUE(ChooseFolder(browser, "C:", &why)) << why;
  ASSERT_TRUE(WaitUntil([&] { return !app.Dialogs().empty() || GetText(app.Control(kId编辑框1)) == "C:"; }));
  EXPECT_EQ(GetText(app.Control(kId编辑框1)), "C:");
  ASSERT_TRUE(WaitUntil([&] { return atoi(app.Caption().c_str()) >= 2; }));
  const std::vector<std::string> lines = SplitLines(GetText(app.Control(kId编辑框2)));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].compare(0, 3, "C:\\"), 0) << Utf8(lines[0]);
  EXPECT_NE(lines[0][3], '\\') << Utf8(lines[0]);
  // However long the list grows, it shows its first line.
  ASSERT_TRUE(WaitUntil([&] { return atoi(app.Caption().c_str()) >= 60; }));
  DWORD_PTR first = 1;
  ASSERT_TRUE(SendMessageTimeoutA(app.Control(kId编辑框2), EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_NORMAL, 10000, &first));
  EXPECT_EQ(first, 0u);

  app.Close();
  HWND box = app.WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no error box after the window went";
  EXPECT_FALSE(MessageBoxText(box).empty());
  EXPECT_TRUE(MessageBoxHasIcon(box));
  AnswerMessageBox(box);
  EXPECT_EQ(app.WaitForExit(), 0xFFFFFFFFu);
}
