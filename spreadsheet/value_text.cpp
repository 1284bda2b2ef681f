#include "spreadsheet/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// printf's %.15G, with the exponent written as the standard conversion does
// (at least two digits).
std::string RealText(double d) {
  if (!std::isfinite(d)) return std::string();
  if (d == 0) return "0";
  // Whole numbers below 1E+15 print all their digits: no formatting needed.
  if (std::fabs(d) < 1e15 && d == std::trunc(d)) return std::to_string(static_cast<long long>(d));
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
  std::string s(buf, r.ptr);
  for (char& c : s)
    if (c == 'e') c = 'E';
  size_t e = s.find('E');
  if (e == std::string::npos) return s;
  std::string mant = s.substr(0, e);
  char sign = s[e + 1];
  std::string digits = s.substr(e + 2);
  while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
  return mant + "E" + sign + digits;
}

// Civil date of a day count from 1899-12-30.
void CivilFromDays(long long z, long long* y, unsigned* m, unsigned* d) {
  z += 719468 - 25569;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yy + (*m <= 2);
}

std::string DateText(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) return std::string();
  // An OLE date's fraction is the time of day whatever the sign of the day.
  double day_part = std::trunc(serial);
  double frac = std::fabs(serial - day_part);
  long long seconds = std::llround(frac * 86400.0);
  long long days = static_cast<long long>(day_part);
  if (seconds >= 86400) {  // rounds up into the next day
    seconds -= 86400;
    days += serial < 0 ? -1 : 1;
  }
  bool has_time = frac != 0;
  char buf[64];
  std::string out;
  if (days != 0) {
    long long y;
    unsigned m, d;
    CivilFromDays(days, &y, &m, &d);
    std::snprintf(buf, sizeof buf, "%lld/%u/%u", y, m, d);
    out = buf;
  }
  if (has_time || days == 0) {
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    if (!out.empty()) out += " ";
    out += buf;
  }
  return out;
}

}  // namespace

std::string ValueToText(const Variant& v) {
  switch (v.kind) {
    case VariantKind::Text: return v.text;
    case VariantKind::Integer: return std::to_string(v.integer);
    case VariantKind::Real: return RealText(v.real);
    case VariantKind::Logical: return v.logical ? "-1" : "0";
    case VariantKind::Date: return DateText(v.real);
    default: return std::string();
  }
}
