#pragma once
// Console output. The front end composes its lines in UTF-8; they reach the
// stream in the tool's text encoding (the ANSI code page on Windows).

#include <cstdio>
#include <string>

void WriteText(std::FILE* stream, const std::string& utf8);

// Columns a UTF-8 text takes on a terminal (East Asian characters take two).
int DisplayWidth(const std::string& utf8);
// The end of a UTF-8 text that fits in columns, "..." in front when cut.
std::string FitTail(const std::string& utf8, int columns);
// A cell text on one line: line breaks and tabs shown as \n, \r and \t.
std::string OneLine(const std::string& utf8);
