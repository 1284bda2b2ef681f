#pragma once
#include <string>

// The letter part of an A1-style cell name for a 1-based column number:
// 1 A, 26 Z, 27 AA, 702 ZZ, 703 AAA, 16384 XFD. Empty for a number below 1.
std::string ColumnLetters(int column);
