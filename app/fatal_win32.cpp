#include <windows.h>

#include "app/fatal.h"
#include "text/encoding.h"

void FatalError(const std::string& message) {
  // A quit already queued (the window was just closed) would end the message
  // box before anyone could read it; the process ends anyway.
  MSG quit;
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  MessageBoxA(nullptr, message.c_str(), FromUtf8("信息：").c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
  // No exit routine, no static destructors.
  ExitProcess(static_cast<UINT>(-1));
}
