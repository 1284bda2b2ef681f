#pragma once
#include <string>

// Appends the UTF-8 form of the code point cp.
void AppendUtf8(std::string* out, unsigned long cp);
