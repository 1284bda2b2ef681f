// The window as it opens, its keyboard and its close, seen from another process.

#include <gtest/gtest.h>

#include "tests/win32/harness/harness.h"

using namespace harness;

namespace {

RECT ClientRectOf(HWND control, HWND parent) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

enum class Kind { kSingleEdit, kMultiEdit, kButton, kLabel };

struct Expected {
  int id;
  const char* name;
  Kind kind;
  int left, top, width, height;
  const char* text_utf8;
};

const Expected kLayout[] = {
    {kId编辑框1, "编辑框1", Kind::kSingleEdit, 16, 16, 336, 20,
     "C:\\Documents and Settings\\Administrator\\桌面\\新建文件夹"},
    {kId按钮4, "按钮4", Kind::kButton, 357, 17, 16, 16, ""},
    {kId编辑框2, "编辑框2", Kind::kMultiEdit, 8, 48, 360, 320, ""},
    {kId标签1, "标签1", Kind::kLabel, 6, 378, 32, 24, "预换："},
    {kId编辑框3, "编辑框3", Kind::kSingleEdit, 43, 380, 109, 20, ""},
    {kId标签2, "标签2", Kind::kLabel, 207, 378, 31, 24, "换为："},
    {kId编辑框4, "编辑框4", Kind::kSingleEdit, 241, 380, 127, 20, ""},
    {kId按钮6, "按钮6", Kind::kButton, 149, 408, 80, 32, "批量替换"},
};

void ExpectStyle(const Expected& e, HWND h) {
  const LONG style = GetWindowLongA(h, GWL_STYLE);
  const LONG ex = GetWindowLongA(h, GWL_EXSTYLE);
  const std::string cls = ClassOf(h);
  EXPECT_TRUE(style & WS_VISIBLE) << e.name;
  EXPECT_FALSE(style & WS_DISABLED) << e.name;
  EXPECT_FALSE(style & (WS_VSCROLL | WS_HSCROLL)) << e.name;
  switch (e.kind) {
    case Kind::kSingleEdit:
    case Kind::kMultiEdit:
      EXPECT_EQ(lstrcmpiA(cls.c_str(), "Edit"), 0) << e.name << " " << cls;
      EXPECT_TRUE(ex & WS_EX_CLIENTEDGE) << e.name;
      EXPECT_TRUE(style & WS_TABSTOP) << e.name;
      EXPECT_EQ(style & (ES_CENTER | ES_RIGHT), 0) << e.name;
      EXPECT_FALSE(style & (ES_READONLY | ES_NOHIDESEL | ES_PASSWORD | ES_UPPERCASE | ES_LOWERCASE | ES_NUMBER))
          << e.name;
      if (e.kind == Kind::kSingleEdit) {
        EXPECT_TRUE(style & ES_AUTOHSCROLL) << e.name;
        EXPECT_FALSE(style & ES_MULTILINE) << e.name;
      } else {
        EXPECT_EQ(style & (ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN),
                  ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN)
            << e.name;
        EXPECT_FALSE(style & ES_AUTOHSCROLL) << e.name << ": long lines must wrap";
      }
      break;
    case Kind::kButton:
      EXPECT_EQ(lstrcmpiA(cls.c_str(), "Button"), 0) << e.name << " " << cls;
      EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << e.name << ": no default button";
      EXPECT_TRUE(style & WS_TABSTOP) << e.name;
      break;
    case Kind::kLabel:
      EXPECT_EQ(lstrcmpiA(cls.c_str(), "Static"), 0) << e.name << " " << cls;
      EXPECT_EQ(style & SS_TYPEMASK, SS_OWNERDRAW) << e.name;
      EXPECT_FALSE(style & (WS_BORDER | WS_TABSTOP)) << e.name;
      EXPECT_FALSE(ex & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)) << e.name;
      break;
  }
}

std::string NameOf(HWND h, const App& app) {
  for (const Expected& e : kLayout)
    if (app.Control(e.id) == h) return e.name;
  return "(other " + ClassOf(h) + ")";
}

}  // namespace

TEST(WindowLayout, OpensAsDescribedAndClosesWithExitCodeZero) {
  App app;
  ASSERT_TRUE(app.Launch()) << app.why;
  HWND main = app.Main();

  const std::string caption = app.Caption();
  const std::string prefix = Ansi("请文件夹里面别放入其他文件，不然后果自负 ");
  EXPECT_EQ(caption.compare(0, prefix.size(), prefix), 0) << Utf8(caption);
  EXPECT_GT(caption.size(), prefix.size()) << "a contact tag follows the blank";

  RECT outer;
  GetWindowRect(main, &outer);
  EXPECT_EQ(outer.right - outer.left, 385);
  EXPECT_EQ(outer.bottom - outer.top, 470);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 385) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 470) / 2);

  const LONG style = GetWindowLongA(main, GWL_STYLE);
  const LONG ex = GetWindowLongA(main, GWL_EXSTYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP));
  EXPECT_FALSE(ex & WS_EX_TOPMOST);
  EXPECT_FALSE(ex & WS_EX_TOOLWINDOW) << "it has a taskbar button";
  EXPECT_EQ(GetMenu(main), nullptr);

  // The client area shows the button-face colour (a spot with no control on it).
  HDC dc = GetDC(main);
  EXPECT_EQ(GetPixel(dc, 200, 4), GetSysColor(COLOR_BTNFACE));
  ReleaseDC(main, dc);

  for (const Expected& e : kLayout) {
    HWND h = app.Control(e.id);
    ASSERT_NE(h, nullptr) << e.name;
    EXPECT_EQ(GetParent(h), main) << e.name;
    RECT r = ClientRectOf(h, main);
    EXPECT_EQ(r.left, e.left) << e.name;
    EXPECT_EQ(r.top, e.top) << e.name;
    EXPECT_EQ(r.right - r.left, e.width) << e.name;
    EXPECT_EQ(r.bottom - r.top, e.height) << e.name;
    EXPECT_EQ(GetText(h), Ansi(e.text_utf8)) << e.name;
    ExpectStyle(e, h);
  }

  // The program carries an icon resource.
  HMODULE image = LoadLibraryExA((ProgramFolder() + "\\cellsweep.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  EXPECT_NE(FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
  FreeLibrary(image);

  app.Close();
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(WindowLayout, FocusStartsOnTheBatchButtonAndTabCyclesInOrder) {
  App app;
  ASSERT_TRUE(app.Launch()) << app.why;
  ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId按钮6); }))
      << "focus on " << NameOf(app.Focus(), app);

  const int forward[] = {kId编辑框1, kId编辑框2, kId按钮4, kId编辑框3, kId编辑框4, kId按钮6};
  for (int id : forward) {
    PostKey(app.Focus(), VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(id); }, 5000))
        << "expected " << NameOf(app.Control(id), app) << ", focus on " << NameOf(app.Focus(), app);
  }

  const int backward[] = {kId编辑框4, kId编辑框3, kId按钮4, kId编辑框2, kId编辑框1, kId按钮6};
  for (int id : backward) {
    TypeChord(app.Main(), {VK_SHIFT, VK_TAB});
    EXPECT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(id); }, 5000))
        << "expected " << NameOf(app.Control(id), app) << ", focus on " << NameOf(app.Focus(), app);
  }

  app.Close();
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(WindowLayout, EnterClicksNothing) {
  App app;
  ASSERT_TRUE(app.Launch()) << app.why;
  ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId按钮6); }));
  PostKey(app.Control(kId按钮6), VK_RETURN);
  // Keys are handled in order: once the Tab has moved the focus, the Enter
  // before it has been handled too.
  PostKey(app.Control(kId按钮6), VK_TAB);
  ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId编辑框1); }, 5000));
  PostKey(app.Focus(), VK_TAB);
  PostKey(app.Control(kId编辑框2), VK_TAB);
  ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId按钮4); }, 5000));
  PostKey(app.Control(kId按钮4), VK_RETURN);
  PostKey(app.Control(kId按钮4), VK_TAB);
  ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId编辑框3); }, 5000));
  EXPECT_TRUE(app.Dialogs().empty()) << "Enter opened a box or the browser";
  EXPECT_TRUE(app.Running());
  // In the list box Enter is a line break.
  TypeChord(app.Main(), {VK_SHIFT, VK_TAB});
  TypeChord(app.Main(), {VK_SHIFT, VK_TAB});
  ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId编辑框2); }, 5000));
  PostKey(app.Control(kId编辑框2), VK_RETURN);
  EXPECT_TRUE(WaitUntil([&] { return GetText(app.Control(kId编辑框2)) == "\r\n"; }, 5000))
      << GetText(app.Control(kId编辑框2)).size();
  app.Close();
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(WindowLayout, EscAndAltF4CloseWithoutAPrompt) {
  {
    App app;
    ASSERT_TRUE(app.Launch()) << app.why;
    PostKey(app.Focus(), VK_ESCAPE);
    EXPECT_EQ(app.WaitForExit(), 0u);
  }
  {
    App app;
    ASSERT_TRUE(app.Launch()) << app.why;
    // From the list box, which takes every key itself.
    PostKey(app.Control(kId按钮6), VK_TAB);
    PostKey(app.Control(kId编辑框1), VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kId编辑框2); }, 5000));
    PostKey(app.Control(kId编辑框2), VK_ESCAPE);
    EXPECT_EQ(app.WaitForExit(), 0u);
  }
  {
    App app;
    ASSERT_TRUE(app.Launch()) << app.why;
    TypeChord(app.Main(), {VK_MENU, VK_F4});
    EXPECT_EQ(app.WaitForExit(), 0u);
  }
}
