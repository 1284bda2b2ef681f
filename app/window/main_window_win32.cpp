#include "app/window/main_window_win32.h"

#include <climits>

#include "app/fatal.h"
#include "app/window/window_ids.h"
#include "app/window_port.h"
#include "collect/collect_files.h"
#include "replace/batch.h"
#include "text/encoding.h"

const char kInitialCaptionUtf8[] = "请文件夹里面别放入其他文件，不然后果自负 (cellsweep)";

namespace {

constexpr int kOuterWidth = 385;
constexpr int kOuterHeight = 470;
constexpr int kIconResource = 1;

struct ControlLayout {
  int id;
  const char* window_class;
  const char* text_utf8;
  int left, top, width, height;
  DWORD style;
  DWORD ex_style;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kSingleLineEdit = kChild | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
// No scroll bars and no horizontal scrolling: long lines wrap.
constexpr DWORD kMultiLineEdit = kChild | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
constexpr DWORD kPushButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
// Labels are drawn by the window itself (WM_DRAWITEM).
constexpr DWORD kLabel = kChild | SS_OWNERDRAW;

// In the order the window describes them; this is also the creation order.
const ControlLayout kControls[] = {
    {kId编辑框1, "EDIT", "C:\\Documents and Settings\\Administrator\\桌面\\新建文件夹", 16, 16, 336, 20,
     kSingleLineEdit, WS_EX_CLIENTEDGE},
    {kId按钮4, "BUTTON", "", 357, 17, 16, 16, kPushButton, 0},
    {kId编辑框2, "EDIT", "", 8, 48, 360, 320, kMultiLineEdit, WS_EX_CLIENTEDGE},
    {kId标签1, "STATIC", "预换：", 6, 378, 32, 24, kLabel, 0},
    {kId编辑框3, "EDIT", "", 43, 380, 109, 20, kSingleLineEdit, WS_EX_CLIENTEDGE},
    {kId标签2, "STATIC", "换为：", 207, 378, 31, 24, kLabel, 0},
    {kId编辑框4, "EDIT", "", 241, 380, 127, 20, kSingleLineEdit, WS_EX_CLIENTEDGE},
    {kId按钮6, "BUTTON", "批量替换", 149, 408, 80, 32, kPushButton, 0},
};

// Tab order: the z-order of the focusable controls.
const int kTabOrder[] = {kId按钮6, kId编辑框1, kId编辑框2, kId按钮4, kId编辑框3, kId编辑框4};

HWND main_window = nullptr;
// The control that had the focus when the window was last deactivated.
HWND saved_focus = nullptr;
// The batch button had the focus when it was greyed.
bool batch_button_had_focus = false;
// The keyboard stays on the window itself while the batch button is grey.
bool holding_focus = false;

int ControlIdOf(Control control) {
  switch (control) {
    case Control::编辑框1: return kId编辑框1;
    case Control::编辑框2: return kId编辑框2;
    case Control::编辑框3: return kId编辑框3;
    case Control::编辑框4: return kId编辑框4;
  }
  return 0;
}

[[noreturn]] void WindowGone() {
  FatalError(FromUtf8("主窗口已经关闭，程序无法继续运行，将立即退出。"));
}

// The live main window, or a fatal error once it has been closed.
HWND LiveMainWindow() {
  if (main_window == nullptr || !IsWindow(main_window)) WindowGone();
  return main_window;
}

HWND LiveControl(Control control) {
  HWND parent = LiveMainWindow();
  HWND h = GetDlgItem(parent, ControlIdOf(control));
  if (h == nullptr) WindowGone();
  return h;
}

std::string WindowText(HWND h) {
  int n = GetWindowTextLengthA(h);  // may overestimate; never underestimates
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n) + 1, '\0');
  int got = GetWindowTextA(h, &text[0], n + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

void ShowFirstLine(HWND edit) {
  // Caret to the start, then scroll the view back to the first line, as
  // after a whole rewrite of the text.
  SendMessageA(edit, EM_SETSEL, 0, 0);
  LRESULT first = SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
  if (first > 0) SendMessageA(edit, EM_LINESCROLL, 0, -first);
}

// Lines added to the list box while it already holds more than it shows.
// An edit box insert costs time in proportion to the whole text (Wine's
// rescans it), so adding a big tree's lines one by one would be quadratic.
// They wait here and go in together at least every kListFlushMs, whenever
// anything reads the box or the user touches it, and when a button's handler
// ends. What the user sees is unchanged: the box keeps showing its first lines.
std::string pending_list;
DWORD last_list_flush = 0;
bool talking_to_list = false;  // the window's own messages to the box
WNDPROC list_base_proc = nullptr;
constexpr DWORD kListFlushMs = 100;

void AppendNow(HWND edit, const std::string& text) {
  // Past-the-end positions are clamped to the end of the text.
  SendMessageA(edit, EM_SETSEL, INT_MAX, INT_MAX);
  SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  ShowFirstLine(edit);
}

void FlushList() {
  if (pending_list.empty() || talking_to_list || main_window == nullptr) return;
  HWND edit = GetDlgItem(main_window, kId编辑框2);
  std::string text;
  text.swap(pending_list);
  if (edit == nullptr) return;
  talking_to_list = true;
  AppendNow(edit, text);
  talking_to_list = false;
  last_list_flush = GetTickCount();
}

// Rows of text the list box shows at once; set when the window is made.
LONG list_rows = 0;

LONG VisibleRows(HWND edit) {
  RECT r = {};
  SendMessageA(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  HDC dc = GetDC(edit);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(edit, dc);
  return (r.bottom - r.top) / (tm.tmHeight > 0 ? tm.tmHeight : 1);
}

// Whether the list box still has room in view for more lines.
bool ListShowsItsEnd(HWND edit) {
  talking_to_list = true;
  const LRESULT lines = SendMessageA(edit, EM_GETLINECOUNT, 0, 0);
  talking_to_list = false;
  return lines <= list_rows + 1;
}

bool ReadsOrTouchesTheList(UINT message) {
  switch (message) {
    case WM_GETTEXT: case WM_GETTEXTLENGTH: case WM_SETTEXT:
    case EM_GETLINE: case EM_GETLINECOUNT: case EM_LINELENGTH: case EM_LINEINDEX: case EM_LINEFROMCHAR:
    case EM_GETSEL: case EM_SETSEL: case EM_REPLACESEL: case EM_GETHANDLE: case EM_POSFROMCHAR:
    case EM_CHARFROMPOS: case EM_GETFIRSTVISIBLELINE: case EM_LINESCROLL: case EM_SCROLL: case EM_SCROLLCARET:
    case WM_KEYDOWN: case WM_CHAR: case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MOUSEWHEEL:
    case WM_VSCROLL: case WM_SETFOCUS: case WM_COPY: case WM_CUT: case WM_PASTE: case WM_CLEAR: case WM_UNDO:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK ListProc(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!talking_to_list && !pending_list.empty() && ReadsOrTouchesTheList(message)) FlushList();
  return CallWindowProcA(list_base_proc, edit, message, wparam, lparam);
}

class Win32MainWindow : public MainWindowPort {
 public:
  std::string ReadContent(Control control) override {
    HWND edit = LiveControl(control);
    if (control == Control::编辑框2) FlushList();
    return WindowText(edit);
  }

  void WriteContent(Control control, const std::string& text) override {
    HWND edit = LiveControl(control);
    if (control == Control::编辑框2) pending_list.clear();  // replaced whole anyway
    SetWindowTextA(edit, text.c_str());
    ShowFirstLine(edit);
  }

  void AppendContent(Control control, const std::string& text) override {
    HWND edit = LiveControl(control);
    if (control != Control::编辑框2) {
      AppendNow(edit, text);
      return;
    }
    pending_list += text;
    if (GetTickCount() - last_list_flush >= kListFlushMs || ListShowsItsEnd(edit)) FlushList();
  }

  std::string ReadCaption() override { return WindowText(LiveMainWindow()); }

  void WriteCaption(const std::string& caption) override { SetWindowTextA(LiveMainWindow(), caption.c_str()); }

  void RunPendingMessages() override {
    MSG message;
    for (;;) {
      if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) return;
      if (message.message == WM_QUIT) return;  // stays queued for the message loop
      if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return;
      if (message.message == WM_QUIT) {
        // Arrived between the two looks: put it back.
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      DispatchOneMessage(message);
    }
  }

  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
    // The tool's boxes have no owner and hold the whole task until answered.
    const int answer = MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags | MB_TASKMODAL);
    // A box without owner hands the activation to no one when it goes; the
    // keyboard belongs back on the window (and its focused control).
    if (main_window != nullptr && IsWindow(main_window) && GetActiveWindow() == nullptr) {
      SetActiveWindow(main_window);
    }
    return answer;
  }

  void* NativeHandle() override { return main_window; }

  void SetBatchRunning(bool running) override {
    HWND window = LiveMainWindow();
    HWND button = GetDlgItem(window, kId按钮6);
    if (running) {
      // A disabled control loses the focus; keep the keyboard on the window.
      batch_button_had_focus = (GetFocus() == button);
      EnableWindow(button, FALSE);
      if (batch_button_had_focus) {
        holding_focus = true;
        SetFocus(window);
        holding_focus = false;
      }
    } else {
      EnableWindow(button, TRUE);
      HWND focus = GetFocus();
      if (batch_button_had_focus && (focus == window || focus == nullptr)) SetFocus(button);
      batch_button_had_focus = false;
    }
  }
};

Win32MainWindow port;

void MoveFocus(HWND window, bool backward) {
  HWND next = GetNextDlgTabItem(window, GetFocus(), backward ? TRUE : FALSE);
  if (next == nullptr) return;
  SetFocus(next);
  // As in a dialog: an edit box reached by Tab has its text selected.
  if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(next, EM_SETSEL, 0, -1);
}

void DrawLabel(const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  std::string text = WindowText(item.hwndItem);
  HGDIOBJ old_font = SelectObject(item.hDC, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  RECT r = item.rcItem;
  DrawTextA(item.hDC, text.c_str(), -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(item.hDC, old_font);
}

// Back to the control that had the focus, or the batch button.
void RestoreFocus(HWND window) {
  HWND target = (saved_focus != nullptr && IsWindow(saved_focus) && IsWindowEnabled(saved_focus))
                    ? saved_focus
                    : GetDlgItem(window, kId按钮6);
  if (target != nullptr && IsWindowEnabled(target) && GetFocus() != target) SetFocus(target);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (lparam != 0 && code == BN_CLICKED) {
        if (id == kId按钮4) BrowseAndCollect();
        else if (id == kId按钮6) RunBatchReplace();
        FlushList();
        return 0;
      }
      // Esc from the dialog keys closes the window without a prompt;
      // Enter (IDOK) does nothing: there is no default button.
      if (lparam == 0 && id == IDCANCEL) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    }
    case WM_NEXTDLGCTL:
      // Tab and Shift+Tab, as sent by the dialog keys and by 编辑框2.
      if (LOWORD(lparam)) {
        SetFocus(reinterpret_cast<HWND>(wparam));
      } else {
        MoveFocus(window, wparam != 0);
      }
      return 0;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item != nullptr && item->CtlType == ODT_STATIC) {
        DrawLabel(*item);
        return TRUE;
      }
      break;
    }
    case WM_ACTIVATE:
      // As a dialog does: remember the focused control when another window
      // (the folder browser, a message box) takes over, and give it back.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) saved_focus = focus;
      } else if (HIWORD(wparam) == 0) {
        RestoreFocus(window);
      }
      return 0;
    case WM_SETFOCUS:
      if (!holding_focus) RestoreFocus(window);
      return 0;
    case WM_DESTROY:
      main_window = nullptr;
      saved_focus = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
  wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  if (wc.hIcon == nullptr) wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));                      // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;

  const int left = (GetSystemMetrics(SM_CXSCREEN) - kOuterWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kOuterHeight) / 2;
  // Fixed single border, title bar with the close button only.
  HWND window = CreateWindowExA(WS_EX_APPWINDOW, kMainWindowClass, FromUtf8(kInitialCaptionUtf8).c_str(),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, left, top,
                                kOuterWidth, kOuterHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return nullptr;
  main_window = window;
  saved_focus = nullptr;

  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (const ControlLayout& c : kControls) {
    HWND h = CreateWindowExA(c.ex_style, c.window_class, FromUtf8(c.text_utf8).c_str(), c.style, c.left, c.top,
                             c.width, c.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                             instance, nullptr);
    if (h == nullptr) {
      DestroyWindow(window);
      return nullptr;
    }
    SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // No limit beyond the system's own (the list of a big tree is long).
    if (lstrcmpiA(c.window_class, "EDIT") == 0) SendMessageA(h, EM_SETLIMITTEXT, 0, 0);
  }

  HWND list = GetDlgItem(window, kId编辑框2);
  list_base_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc)));
  pending_list.clear();
  list_rows = VisibleRows(list);

  HWND after = HWND_TOP;
  for (int id : kTabOrder) {
    HWND h = GetDlgItem(window, id);
    SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = h;
  }

  SetMainWindow(&port);
  return window;
}

void ShowMainWindow(HWND window, int show) {
  ShowWindow(window, show);
  UpdateWindow(window);
  SetFocus(GetDlgItem(window, kId按钮6));
}

void DispatchOneMessage(MSG& message) {
  if (main_window != nullptr && IsDialogMessageA(main_window, &message)) return;
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

int RunMessageLoop() {
  MSG message = {};  // read after the loop even when GetMessageA failed before filling it
  for (;;) {
    FlushList();  // idle: nothing waits to go into the list box
    BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    DispatchOneMessage(message);
  }
  return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

HWND ControlWindow(int id) { return main_window != nullptr ? GetDlgItem(main_window, id) : nullptr; }
