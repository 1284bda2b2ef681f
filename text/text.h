#pragma once
// Text and number helpers shared by the whole tool. A text is a std::string of
// bytes in the tool's encoding (the ANSI code page on Windows, UTF-8 on
// Linux); lengths and positions count bytes, and the empty text stands for a
// missing one as well.

#include <cstdint>
#include <string>

// Number of bytes.
int Length(const std::string& t);

// The texts one after another.
inline std::string Concat(const std::string& a, const std::string& b) { return a + b; }
template <class... Rest>
std::string Concat(const std::string& a, const std::string& b, const Rest&... rest) {
  return Concat(a + b, rest...);
}

// The first / last n bytes (all of t when shorter; empty for n <= 0). A cut may
// fall inside a multi-byte character.
std::string Left(const std::string& t, int n);
std::string Right(const std::string& t, int n);

// 1-based byte position of the first occurrence of sought in t at or after
// byte start, counted from the start of t; -1 when there is none. The scan
// steps one whole character at a time, so an occurrence never begins inside a
// character. An empty sought gives 1 when something is left to scan.
int Find(const std::string& t, const std::string& sought, int start = 1);

// t without leading and trailing blanks (ASCII space and the full-width blank).
std::string TrimBothEnds(const std::string& t);

// n ASCII spaces (empty for n <= 0).
std::string BlankText(int n);

// The one-byte text of c's low 8 bits; empty when that byte is 0.
std::string CharFromCode(int c);

// "%d".
std::string IntegerToText(int32_t v);

// "%.13g" with at least three exponent digits on every platform (1e+013).
std::string RealToText(double x);

// The number at the start of t after folding full-width forms and skipping
// white space: sign, digits, point, digits, exponent (E, e, D or d). 0 when t
// does not begin with a number.
double TextToReal(const std::string& t);

// Truncated toward zero; NaN gives 0 and values beyond the int range are
// clamped to it.
int RealToInteger(double x);

// The remainder of x by y with the sign of x (C fmod).
double RealRemainder(double x, double y);
