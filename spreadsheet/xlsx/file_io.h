#pragma once
// Whole-file reads and the safe replacement of a workbook file. Paths are in
// the tool's text encoding (the ANSI code page on Windows, UTF-8 on Linux).

#include <string>

namespace xlsx {

// Reads a file whole; refuses files larger than max_size.
bool ReadWholeFile(const std::string& path, size_t max_size, std::string* data, std::string* why);

// Replaces the file at path by data: written to a temporary file in the same
// folder, then renamed over the original in one step, so a failure at any
// point leaves the original whole. A read-only or locked file is refused.
bool SaveOverFile(const std::string& path, const std::string& data, std::string* why);

// The absolute form of a path (as given when it cannot be resolved).
std::string AbsolutePath(const std::string& path);

}  // namespace xlsx
