#pragma once
// What the console front end needs from the operating system.

#include <string>

// Start and end of a run: on Windows, OLE for the automation binding.
void ConsoleStart();
void ConsoleStop();

bool StdoutIsTerminal();
// Width of the terminal standard output goes to; 0 when unknown.
int TerminalColumns();

enum class FolderState { Missing, NotFolder, Folder };
// path in the tool's text encoding.
FolderState ProbeFolder(const std::string& path);

// Whether a spreadsheet application can be driven by automation here at all.
bool AutomationPossible();
