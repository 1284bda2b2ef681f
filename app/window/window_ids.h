#pragma once
// Control identifiers of the main window, shared with the window tests.
// None is IDOK (1) or IDCANCEL (2): the dialog keys send those.

constexpr int kId编辑框1 = 1001;
constexpr int kId按钮4 = 1002;
constexpr int kId编辑框2 = 1003;
constexpr int kId标签1 = 1004;
constexpr int kId编辑框3 = 1005;
constexpr int kId标签2 = 1006;
constexpr int kId编辑框4 = 1007;
constexpr int kId按钮6 = 1008;

// The main window's class name, so that tests can tell it from dialogs.
constexpr const char kMainWindowClass[] = "CellsweepMainWindow";
