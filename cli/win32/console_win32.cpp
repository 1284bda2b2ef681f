#include <windows.h>
#include <ole2.h>

#include <io.h>
#include <stdio.h>

#include "cli/console_platform.h"

namespace {
bool g_ole = false;
UINT g_saved_output_cp = 0;
}  // namespace

void ConsoleStart() {
  // The automation binding needs OLE on this thread, as in the window tool.
  g_ole = SUCCEEDED(OleInitialize(nullptr));
  // Our texts are in the ANSI code page; let the console show them as such.
  if (StdoutIsTerminal()) {
    g_saved_output_cp = GetConsoleOutputCP();
    SetConsoleOutputCP(GetACP());
  }
}

void ConsoleStop() {
  if (g_saved_output_cp != 0) SetConsoleOutputCP(g_saved_output_cp);
  if (g_ole) OleUninitialize();
  g_ole = false;
}

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
    return info.srWindow.Right - info.srWindow.Left + 1;
  }
  return 0;
}

FolderState ProbeFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FolderState::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FolderState::Folder : FolderState::NotFolder;
}

bool AutomationPossible() { return true; }
