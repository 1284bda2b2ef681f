#include <windows.h>

#include "text/encoding.h"

namespace {

std::wstring Widen(const std::string& s, UINT code_page) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
  return w;
}

std::string Narrow(const std::wstring& w, UINT code_page) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

}  // namespace

std::string FromUtf8(const std::string& utf8) { return Narrow(Widen(utf8, CP_UTF8), CP_ACP); }
std::string ToUtf8(const std::string& text) { return Narrow(Widen(text, CP_ACP), CP_UTF8); }
