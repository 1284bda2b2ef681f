#pragma once
#include <string>
#include <vector>

// The whole console run: arguments after the program name, in the tool's
// text encoding. Returns the exit code: 0 every file processed, 1 some files
// failed, 2 usage error.
int RunCli(const std::vector<std::string>& args);
