#include <windows.h>
#include <ole2.h>

#include "app/exit_routine.h"
#include "app/fatal.h"
#include "app/file_list.h"
#include "app/window/main_window_win32.h"
#include "app/window/startup_win32.h"
#include "text/encoding.h"

int RunCellsweep(HINSTANCE instance, int show) {
  // One thread, one single-threaded apartment for the whole run.
  OleInitialize(nullptr);
  // FileList starts empty: it is a process-wide value constructed before this runs.
  RegisterExitRoutine();
  HWND window = CreateMainWindow(instance);
  if (window == nullptr) FatalError(FromUtf8("无法创建主窗口。"));
  ShowMainWindow(window, show);
  RunMessageLoop();
  RunExitRoutine();
  OleUninitialize();
  return 0;
}
