#include "text/text.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/char_rules.h"
#include "text/utf8.h"

size_t TextRules::CharLength(const std::string& t, size_t pos) const {
  unsigned char b = static_cast<unsigned char>(t[pos]);
  if (stepping == Stepping::LeadByteTable) return lead[b] ? 2 : 1;
  // A stray continuation or invalid byte counts as one character of its own.
  if (b < 0xC0) return 1;
  if (b < 0xE0) return 2;
  if (b < 0xF0) return 3;
  if (b < 0xF8) return 4;
  return 1;
}

namespace {

std::string Utf8Of(unsigned cp) {
  std::string s;
  AppendUtf8(&s, cp);
  return s;
}

bool StartsWithAt(const std::string& t, size_t pos, const std::string& piece) {
  return !piece.empty() && t.size() - pos >= piece.size() && t.compare(pos, piece.size(), piece) == 0;
}

bool IsBlankAt(const TextRules& rules, const std::string& t, size_t pos, size_t len) {
  if (len == 1) return t[pos] == ' ';
  return len == rules.wide_blank.size() && StartsWithAt(t, pos, rules.wide_blank);
}

}  // namespace

const std::vector<std::pair<unsigned, char>>& FullWidthForms() {
  static const std::vector<std::pair<unsigned, char>> forms = [] {
    std::vector<std::pair<unsigned, char>> v;
    // Full-width ASCII: U+FF01 '!' to U+FF5E '~'.
    for (unsigned cp = 0xFF01; cp <= 0xFF5E; ++cp) v.emplace_back(cp, static_cast<char>(cp - 0xFF01 + 0x21));
    // What the Chinese code page keeps in the full-width row instead of $ and ~.
    v.emplace_back(0xFFE5u, '$');
    v.emplace_back(0xFFE3u, '~');
    // The stars the Chinese input methods give for an asterisk.
    v.emplace_back(0x2605u, '*');
    v.emplace_back(0x2606u, '*');
    v.emplace_back(0x3000u, ' ');
    return v;
  }();
  return forms;
}

TextRules MakeUtf8Rules() {
  TextRules r;
  r.stepping = TextRules::Stepping::Utf8;
  r.wide_blank = Utf8Of(0x3000);
  for (const auto& f : FullWidthForms()) r.folds.emplace_back(Utf8Of(f.first), f.second);
  return r;
}

TextRules MakeLeadByteRules(bool (*is_lead)(unsigned char), std::string (*from_code_point)(unsigned)) {
  TextRules r;
  r.stepping = TextRules::Stepping::LeadByteTable;
  for (int b = 0; b < 256; ++b) r.lead[b] = is_lead(static_cast<unsigned char>(b));
  // Only a character of its own counts: a code page that has no such
  // character, or gives a plain ASCII byte for it, folds nothing.
  auto whole_char = [&r](const std::string& s) { return s.size() >= 2 && r.CharLength(s, 0) == s.size(); };
  std::string blank = from_code_point(0x3000);
  if (whole_char(blank)) r.wide_blank = blank;
  for (const auto& f : FullWidthForms()) {
    std::string s = from_code_point(f.first);
    if (!whole_char(s)) continue;
    bool seen = false;
    for (const auto& have : r.folds) seen = seen || have.first == s;
    if (!seen) r.folds.emplace_back(s, f.second);
  }
  return r;
}

int FindWith(const TextRules& rules, const std::string& t, const std::string& sought, int start) {
  size_t n = t.size();
  size_t pos = start < 1 ? 0 : static_cast<size_t>(start) - 1;
  if (pos >= n) return -1;
  if (sought.empty()) return 1;
  size_t m = sought.size();
  const char first = sought[0];
  while (n - pos >= m) {
    // The first byte alone turns away most places: the batch asks this of every cell.
    if (t[pos] == first && t.compare(pos, m, sought) == 0) return static_cast<int>(pos + 1);
    size_t len = rules.CharLength(t, pos);
    if (pos + len >= n) break;  // the last character, or one cut off by the end
    pos += len;
  }
  return -1;
}

std::string TrimBothEndsWith(const TextRules& rules, const std::string& t) {
  size_t n = t.size();
  size_t pos = 0;
  size_t first = std::string::npos;  // start of the first non-blank character
  size_t end = 0;                    // end of the last non-blank character
  while (pos < n) {
    size_t len = rules.CharLength(t, pos);
    if (pos + len > n) break;  // a character cut off by the end goes too
    if (!IsBlankAt(rules, t, pos, len)) {
      if (first == std::string::npos) first = pos;
      end = pos + len;
    }
    pos += len;
  }
  if (first == std::string::npos) return std::string();
  return t.substr(first, end - first);
}

double TextToRealWith(const TextRules& rules, const std::string& t) {
  // Fold the full-width forms to ASCII, character by character.
  std::string s;
  s.reserve(t.size());
  for (size_t pos = 0; pos < t.size();) {
    size_t len = rules.CharLength(t, pos);
    if (len > t.size() - pos) len = t.size() - pos;
    bool folded = false;
    if (len > 1) {
      for (const auto& f : rules.folds) {
        if (f.first.size() == len && t.compare(pos, len, f.first) == 0) {
          s.push_back(f.second);
          folded = true;
          break;
        }
      }
    }
    if (!folded) s.append(t, pos, len);
    pos += len;
  }

  // Re-spell the number in the C form strtod reads, so D exponents and the
  // locale play no part.
  size_t i = 0;
  while (i < s.size() && std::strchr(" \t\n\v\f\r", s[i]) != nullptr && s[i] != '\0') ++i;
  std::string num;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) num.push_back(s[i++]);
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') { num.push_back(s[i++]); ++digits; }
  if (i < s.size() && s[i] == '.') {
    ++i;
    std::string frac;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { frac.push_back(s[i++]); ++digits; }
    if (!frac.empty()) num += "." + frac;
  }
  if (digits == 0) return 0;
  if (i < s.size() && std::strchr("EeDd", s[i]) != nullptr && s[i] != '\0') {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp.push_back(s[j++]);
    size_t exp_digits = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') { exp.push_back(s[j++]); ++exp_digits; }
    if (exp_digits > 0) num += exp;
  }
  // strtod wants the C locale's point; the tool never changes the locale, but
  // be safe about it.
  const char* point = std::localeconv()->decimal_point;
  if (point != nullptr && point[0] != '.' && point[0] != '\0') {
    size_t p = num.find('.');
    if (p != std::string::npos) num.replace(p, 1, point);
  }
  return std::strtod(num.c_str(), nullptr);
}

int Length(const std::string& t) { return static_cast<int>(t.size()); }

std::string Left(const std::string& t, int n) {
  if (n <= 0) return std::string();
  return t.substr(0, static_cast<size_t>(n));
}

std::string Right(const std::string& t, int n) {
  if (n <= 0) return std::string();
  size_t k = static_cast<size_t>(n);
  if (k >= t.size()) return t;
  return t.substr(t.size() - k);
}

int Find(const std::string& t, const std::string& sought, int start) {
  return FindWith(CurrentTextRules(), t, sought, start);
}

std::string TrimBothEnds(const std::string& t) { return TrimBothEndsWith(CurrentTextRules(), t); }

std::string BlankText(int n) { return n <= 0 ? std::string() : std::string(static_cast<size_t>(n), ' '); }

std::string CharFromCode(int c) {
  char b = static_cast<char>(static_cast<unsigned>(c) & 0xFFu);
  return b == '\0' ? std::string() : std::string(1, b);
}

std::string IntegerToText(int32_t v) {
  // Called for every cell name the batch builds: no format parsing, and the
  // result fits the string's own small buffer.
  char buf[16];
  std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string RealToText(double x) {
  // C libraries differ on infinities and on exponent width; spell both one way.
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.13g", x);
  std::string s = buf;
  size_t e = s.find_first_of("eE");
  if (e == std::string::npos) return s;
  size_t digits_at = e + 1;
  if (digits_at < s.size() && (s[digits_at] == '+' || s[digits_at] == '-')) ++digits_at;
  size_t have = s.size() - digits_at;
  if (have < 3) s.insert(digits_at, 3 - have, '0');
  return s;
}

double TextToReal(const std::string& t) { return TextToRealWith(CurrentTextRules(), t); }

int RealToInteger(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return INT_MAX;
  if (x <= -2147483648.0) return INT_MIN;
  return static_cast<int>(x);
}

double RealRemainder(double x, double y) { return std::fmod(x, y); }
