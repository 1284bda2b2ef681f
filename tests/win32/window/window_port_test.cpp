// The Win32 window's seam, from inside the process: fonts (not readable from
// another process under Wine), the list box's appends, the message pump, the
// caption counter and the greyed batch button.

#include <windows.h>

#include <gtest/gtest.h>

#include "app/window/main_window_win32.h"
#include "app/window/window_ids.h"
#include "app/window_port.h"
#include "text/encoding.h"

namespace {

class WindowPort : public testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateMainWindow(GetModuleHandleA(nullptr));
    ASSERT_NE(window_, nullptr);
    ShowMainWindow(window_, SW_SHOWNORMAL);
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  HWND Edit(int id) { return GetDlgItem(window_, id); }
  HWND window_ = nullptr;
};

int counted = 0;
LRESULT CALLBACK CountingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) ++counted;
  return DefWindowProcA(h, msg, wp, lp);
}

}  // namespace

TEST_F(WindowPort, EveryControlUsesTheDefaultGuiFont) {
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  for (int id : {kId编辑框1, kId按钮4, kId编辑框2, kId标签1, kId编辑框3, kId标签2, kId编辑框4, kId按钮6}) {
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(GetDlgItem(window_, id), WM_GETFONT, 0, 0)), font) << id;
  }
}

TEST_F(WindowPort, AppendingAPastTheDefaultLimitListKeepsEveryLineAndTheFirstLineInView) {
  MainWindowPort& w = MainWindow();
  w.WriteContent(Control::编辑框2, "first\r\n");
  std::string expected = "first\r\n";
  // Well past an edit box's default limit of 30,000 characters.
  for (int i = 0; i < 1500; ++i) {
    std::string line = "C:\\some\\folder\\" + std::to_string(i) + FromUtf8("工作簿.xlsx") + "\r\n";
    w.AppendContent(Control::编辑框2, line);
    expected += line;
  }
  EXPECT_EQ(w.ReadContent(Control::编辑框2), expected);
  HWND list = Edit(kId编辑框2);
  EXPECT_EQ(SendMessageA(list, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  DWORD start = 1, end = 1;
  SendMessageA(list, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 0u);
  // A whole rewrite shows the first line too.
  SendMessageA(list, EM_LINESCROLL, 0, 100);
  w.WriteContent(Control::编辑框2, expected);
  EXPECT_EQ(SendMessageA(list, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

// What the box itself holds, read past the window's own handling of the box.
std::string RawListText(HWND list) {
  WNDCLASSA edit_class = {};
  GetClassInfoA(nullptr, "EDIT", &edit_class);
  char buffer[4096] = {};
  CallWindowProcA(edit_class.lpfnWndProc, list, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

TEST_F(WindowPort, LinesOnTheFirstScreenShowAtOnce) {
  MainWindowPort& w = MainWindow();
  std::string expected;
  for (int i = 0; i < 8; ++i) {
    const std::string line = "C:\\folder\\" + std::to_string(i) + ".xlsx\r\n";
    w.AppendContent(Control::编辑框2, line);
    expected += line;
    EXPECT_EQ(RawListText(Edit(kId编辑框2)), expected) << i;
  }
}

TEST_F(WindowPort, PendingMessagesRunAndTheQuitMessageStaysQueued) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CountingProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CountingWindow";
  RegisterClassA(&wc);
  HWND counter = CreateWindowA("CountingWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(counter, nullptr);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);

  counted = 0;
  for (int i = 0; i < 3; ++i) PostMessageA(counter, WM_APP, 0, 0);
  MainWindow().RunPendingMessages();  // returns on an empty queue: never waits
  EXPECT_EQ(counted, 3);

  PostMessageA(counter, WM_APP, 0, 0);
  PostQuitMessage(7);
  MainWindow().RunPendingMessages();
  EXPECT_EQ(counted, 4);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 7u);
  DestroyWindow(counter);
}

TEST_F(WindowPort, CaptionCountsFromTheInitialText) {
  MainWindowPort& w = MainWindow();
  EXPECT_EQ(w.ReadCaption(), FromUtf8(kInitialCaptionUtf8));
  BumpTitleCounter();
  char text[64] = {};
  GetWindowTextA(window_, text, sizeof(text));
  EXPECT_STREQ(text, "1");
  BumpTitleCounter();
  GetWindowTextA(window_, text, sizeof(text));
  EXPECT_STREQ(text, "2");
}

TEST_F(WindowPort, BatchButtonIsGreyWhileABatchRunsAndKeepsItsFocus) {
  HWND button = GetDlgItem(window_, kId按钮6);
  SetFocus(button);
  MainWindow().SetBatchRunning(true);
  EXPECT_FALSE(IsWindowEnabled(button));
  MainWindow().SetBatchRunning(false);
  EXPECT_TRUE(IsWindowEnabled(button));
  EXPECT_EQ(GetFocus(), button);
}
