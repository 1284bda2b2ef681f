#include "text/encoding.h"

// Linux texts are UTF-8 throughout.
std::string FromUtf8(const std::string& utf8) { return utf8; }
std::string ToUtf8(const std::string& text) { return text; }
