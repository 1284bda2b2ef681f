#pragma once
// Conversions between the seam's Variant and the automation VARIANT, shared by
// the client binding and the test stand-in server.
//
// Texts: the tool's ANSI text <-> BSTR through the ANSI code page.
// Errors: a spreadsheet error number n (0..65535) <-> VT_ERROR 0x800A0000 | n,
// the form the spreadsheet application uses; any other VT_ERROR code travels
// as its signed 32-bit value (e.g. DISP_E_PARAMNOTFOUND for an omitted argument).
// Arrays: 2-D SAFEARRAY of VARIANT <-> Variant Array; a 1-D array reads as one row.

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "spreadsheet/com/com_holders_win32.h"
#include "spreadsheet/variant.h"
#include "text/encoding.h"  // AnsiToWide, WideToAnsi

// How objects cross: each side supplies its own.
class DispatchBridge {
 public:
  virtual ~DispatchBridge() = default;
  // An object for an incoming IDispatch (never null); false with a reason if it cannot be.
  virtual bool FromDispatch(IDispatch* dispatch, ObjectRef* object, std::string* why) = 0;
  // A new reference to an IDispatch for an object; false with a reason if it has none.
  virtual bool ToDispatch(const ObjectRef& object, IDispatch** dispatch, std::string* why) = 0;
};

// *out must be empty (VariantInit or cleared); on failure it stays empty.
bool ValueToVariant(const Variant& in, VARIANT* out, DispatchBridge& bridge, std::string* why);
bool VariantToValue(const VARIANT& in, Variant* out, DispatchBridge& bridge, std::string* why);

// "0x80020006 (unknown name)": the code and what it means.
std::string HResultText(HRESULT hr);
