#include <windows.h>

#include "text/encoding.h"

namespace {

std::wstring Widen(const char* s, size_t length, UINT code_page) {
  if (s == nullptr || length == 0) return std::wstring();
  int n = MultiByteToWideChar(code_page, 0, s, static_cast<int>(length), nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(code_page, 0, s, static_cast<int>(length), &w[0], n);
  return w;
}

std::string Narrow(const wchar_t* w, size_t length, UINT code_page) {
  if (w == nullptr || length == 0) return std::string();
  int n = WideCharToMultiByte(code_page, 0, w, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(code_page, 0, w, static_cast<int>(length), &s[0], n, nullptr, nullptr);
  return s;
}

}  // namespace

std::string FromUtf8(const std::string& utf8) {
  std::wstring w = Widen(utf8.data(), utf8.size(), CP_UTF8);
  return Narrow(w.data(), w.size(), CP_ACP);
}

std::string ToUtf8(const std::string& text) {
  std::wstring w = Widen(text.data(), text.size(), CP_ACP);
  return Narrow(w.data(), w.size(), CP_UTF8);
}

std::wstring AnsiToWide(const std::string& text) { return Widen(text.data(), text.size(), CP_ACP); }
std::string WideToAnsi(const wchar_t* text, size_t length) { return Narrow(text, length, CP_ACP); }
