#include "cli/console_text.h"

#include "text/encoding.h"

void WriteText(std::FILE* stream, const std::string& utf8) {
  std::string out = FromUtf8(utf8);
  std::fwrite(out.data(), 1, out.size(), stream);
}

namespace {

// Width of the character starting at s[i]; *next gets the index after it.
int CharWidth(const std::string& s, size_t i, size_t* next) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  unsigned cp = n == 1 ? c : c & (0x7F >> n);
  for (size_t k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  *next = i + n < s.size() ? i + n : s.size();
  // Hangul, CJK, full-width forms and the rest from U+1100 up are drawn double width
  // by the terminals this runs in; close enough for fitting a progress line.
  return cp >= 0x1100 ? 2 : 1;
}

}  // namespace

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) width += CharWidth(utf8, i, &i);
  return width;
}

std::string FitTail(const std::string& utf8, int columns) {
  if (DisplayWidth(utf8) <= columns) return utf8;
  if (columns <= 3) return std::string(columns > 0 ? columns : 0, '.');
  // Walk backwards over character starts, so that the cut never splits a character.
  int width = 0;
  size_t start = utf8.size();
  while (start > 0) {
    size_t prev = start - 1;
    while (prev > 0 && (static_cast<unsigned char>(utf8[prev]) & 0xC0) == 0x80) --prev;
    size_t after;
    int w = CharWidth(utf8, prev, &after);
    if (width + w > columns - 3) break;
    width += w;
    start = prev;
  }
  return "..." + utf8.substr(start);
}

std::string OneLine(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}
