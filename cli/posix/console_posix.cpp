#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/console_platform.h"

void ConsoleStart() {
  // Output is only a report: a reader that goes away (| head) must not stop
  // the batch between two workbooks.
  signal(SIGPIPE, SIG_IGN);
}
void ConsoleStop() {}

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

int TerminalColumns() {
  winsize ws{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 0;
}

FolderState ProbeFolder(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return FolderState::Missing;
  return S_ISDIR(st.st_mode) ? FolderState::Folder : FolderState::NotFolder;
}

bool AutomationPossible() { return false; }
