#include <windows.h>

#include "text/char_rules.h"

namespace {

bool AnsiLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }

// The ANSI code page's bytes for one code point; empty when the code page has
// no exact character for it (no best-fit look-alikes).
std::string AnsiFromCodePoint(unsigned cp) {
  if (cp > 0xFFFF) return std::string();
  wchar_t w = static_cast<wchar_t>(cp);
  char buf[8];
  BOOL used_default = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &w, 1, buf, sizeof buf, nullptr, &used_default);
  if (n <= 0 || used_default) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace

// Windows texts are in the ANSI code page: its own lead-byte table decides
// where characters begin, and its own full-width characters (if any) fold.
const TextRules& CurrentTextRules() {
  static const TextRules rules = MakeLeadByteRules(AnsiLeadByte, AnsiFromCodePoint);
  return rules;
}
