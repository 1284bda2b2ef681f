#pragma once
// The tool's text encoding: the ANSI code page on Windows, UTF-8 elsewhere.
// Source files are UTF-8; texts shown to the user go through FromUtf8.

#include <string>

// UTF-8 to the tool's encoding (identity on Linux). Characters the code page
// cannot hold become "?".
std::string FromUtf8(const std::string& utf8);
// The tool's encoding to UTF-8 (identity on Linux).
std::string ToUtf8(const std::string& text);

#ifdef _WIN32
// The ANSI code page to UTF-16 and back, for the calls that take wide texts
// (automation strings, wide Win32 calls).
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const wchar_t* text, size_t length);
#endif
