#pragma once
#include <string>

// Shows an error message box (or, without a window system, a line on stderr)
// and ends the process with exit code -1; the exit routine does not run.
[[noreturn]] void FatalError(const std::string& message);
