#pragma once
// The text of a cell value, as the batch searches it. Both routes use it: the
// automation binding turns each VARIANT into a Variant first, the built-in
// engine hands out Variants directly, so both find the same cells.
//
// The rules are those of the automation standard conversion to a string
// (VariantChangeType to VT_BSTR, no flags), with the separators fixed:
// - Empty: the empty text.
// - Text: as it is.
// - Integer: its decimal digits ("-12").
// - Real: 15 significant digits, no trailing zeros; numbers at or above 1E+15
//   or below 1E-04 in exponent form with a sign and at least two exponent
//   digits ("1E+20", "1.5E-05", "0.0001", "123456789012345",
//   "1.23456789012346E+15"); negative zero is "0"; the decimal point is ".".
// - Logical: "-1" for true, "0" for false (without the alphabetic flag the
//   standard conversion goes through the 16-bit integer).
// - Date (an OLE serial day): the date as "yyyy/m/d" (no leading zeros), then
//   " h:mm:ss" (hours without a leading zero) when it has a time of day; a
//   value whose day part is 0 is the time alone, "0:00:00" at midnight.
//   Times are rounded to the second.
// - Error, Object, Array: the empty text (an error value does not convert).

#include <string>

#include "spreadsheet/variant.h"

std::string ValueToText(const Variant& value);
