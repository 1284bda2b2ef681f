#pragma once
// Drives cellsweep.exe from another process, the way a user would, for the
// Windows end-to-end tests (under Wine and Xvfb, code page 936).
//
// How to use it:
//
//   #include "tests/win32/harness/harness.h"
//   using namespace harness;
//
//   App app;                                    // not started yet
//   ASSERT_TRUE(app.Launch()) << app.why;       // bin/cellsweep.exe beside the test program
//   SetText(app.Control(kId编辑框3), Ansi("旧"));  // texts are ANSI (code page 936)
//   SetText(app.Control(kId编辑框4), Ansi("新"));
//
//   // Fill FileList through the real folder browser:
//   Click(app.Control(kId按钮4));
//   HWND browser = app.WaitForBrowser();
//   ASSERT_TRUE(ChooseFolder(browser, "C:\\work\\books", &app.why)) << app.why;
//   ASSERT_TRUE(WaitUntil([&] { return app.Caption() == "3"; }));
//
//   Click(app.Control(kId按钮6));               // the batch
//   HWND box = app.WaitForMessageBox(60000);
//   ASSERT_NE(box, nullptr);
//   EXPECT_EQ(MessageBoxText(box), Ansi("已经完毕！"));
//   AnswerMessageBox(box);                      // OK
//
//   app.Close();                                // WM_CLOSE
//   EXPECT_EQ(app.WaitForExit(), 0);
//
// Clicks, keys and answers are posted, so a handler that opens a modal box or
// runs a long loop never blocks the harness; reads and writes of texts are
// sent with a time-out. Every Wait... polls until its condition holds or the
// time-out passes (generous: Wine is slow); a time-out gives null, false or
// kNoExit. Control identifiers come from app/window/window_ids.h. Test
// folders the browser can reach live on drive C: of the Wine prefix
// (TestFolder).

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/window/window_ids.h"

namespace harness {

constexpr DWORD kNoExit = 0xFFFFFFFEu;
constexpr int kDefaultWaitMs = 20000;

// UTF-8 source text to the ANSI code page (as the tool shows it).
std::string Ansi(const std::string& utf8);
// ANSI text to UTF-8, for readable failure messages.
std::string Utf8(const std::string& ansi);

// Polls cond every few milliseconds until it holds (true) or timeout_ms passes (false).
bool WaitUntil(const std::function<bool()>& cond, int timeout_ms = kDefaultWaitMs);

// The folder of the running test program (ends without a backslash).
std::string ProgramFolder();

class App {
 public:
  App() = default;
  ~App();  // ends the process if it still runs
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Starts the program (default: cellsweep.exe beside the test program) and
  // waits for its main window. On failure says why in `why`.
  bool Launch(const std::string& exe = std::string());

  HWND Main() const { return main_; }
  DWORD Pid() const { return process_.dwProcessId; }
  DWORD Thread() const { return thread_; }
  HWND Control(int id) const { return GetDlgItem(main_, id); }
  std::string Caption() const;

  // The control that has the keyboard focus in the program's GUI thread.
  HWND Focus() const;

  // Top-level windows of the program: the folder browser (a dialog with a
  // tree view) and message boxes (dialogs without one). Null after a time-out.
  HWND WaitForBrowser(int timeout_ms = kDefaultWaitMs) const;
  HWND WaitForMessageBox(int timeout_ms = kDefaultWaitMs) const;
  // Visible dialogs of the program right now.
  std::vector<HWND> Dialogs() const;

  void Close() const;  // posts WM_CLOSE to the main window
  bool Running() const;
  // The exit code, or kNoExit after the time-out.
  DWORD WaitForExit(int timeout_ms = kDefaultWaitMs);

  std::string why;

 private:
  PROCESS_INFORMATION process_ = {};
  DWORD thread_ = 0;
  HWND main_ = nullptr;
};

// Texts of any window of the program (WM_GETTEXT / WM_SETTEXT, sent with a time-out).
std::string GetText(HWND window);
bool SetText(HWND window, const std::string& ansi);
std::string ClassOf(HWND window);
// Lines of a text split at CR LF; a final CR LF does not add an empty line.
std::vector<std::string> SplitLines(const std::string& text);

// Posts a click (BM_CLICK) to a button.
void Click(HWND button);
// Posts a key press and release (WM_KEYDOWN/WM_KEYUP) to a window; no modifiers.
void PostKey(HWND window, WORD vk);
// Types keys through the system input queue (SendInput) after bringing the
// main window to the front; use this when a modifier (Shift, Alt) must be held.
// Each entry is a virtual key; a key is pressed in order and all are released
// in reverse order.
void TypeChord(HWND main, const std::vector<WORD>& keys);

// In the shell folder browser: selects the folder in the tree (expanding the
// drive and each folder on the way) and presses OK. Wine ignores the edit box,
// so the tree item must be selected. path is like "C:\dir\sub" or "C:".
bool ChooseFolder(HWND browser, const std::string& path, std::string* why);
// Presses Cancel in the folder browser.
void CancelBrowser(HWND browser);

// A message box's caption, its text and whether it shows the error icon.
std::string MessageBoxText(HWND box);
bool MessageBoxHasIcon(HWND box);
// Presses a button of the box (IDOK by default).
void AnswerMessageBox(HWND box, int id = IDOK);

// Creates a fresh folder C:\<prefix>-<number> for a test and removes it (and
// everything in it) when the object goes.
class TestFolder {
 public:
  explicit TestFolder(const std::string& prefix);
  ~TestFolder();
  const std::string& Path() const { return path_; }
  // Creates a file (and the folders on its way); rel uses '\'.
  std::string AddFile(const std::string& rel, const std::string& content = "x");
  std::string AddFolder(const std::string& rel);

 private:
  std::string path_;
};

}  // namespace harness
