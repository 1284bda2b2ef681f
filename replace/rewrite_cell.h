#pragma once
#include <string>

// Replaces the whole content of the range start:end of sheet (1-based) by text
// and formats it centred and shrunk to fit, through Excel工作簿1. A failed
// write leaves its part undone; the others are still made.
void RewriteCell(const std::string& start, const std::string& end, int sheet, const std::string& text);
