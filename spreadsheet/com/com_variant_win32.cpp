#include "spreadsheet/com/com_variant_win32.h"

#include <cmath>
#include <cstdio>
#include <limits>

std::string HResultText(HRESULT hr) {
  struct Known { HRESULT hr; const char* text; };
  static const Known known[] = {
      {static_cast<HRESULT>(0x800A03EC), "the spreadsheet application refused the call"},
      {DISP_E_UNKNOWNNAME, "unknown name"},
      {DISP_E_MEMBERNOTFOUND, "member not found"},
      {DISP_E_EXCEPTION, "exception occurred"},
      {DISP_E_TYPEMISMATCH, "type mismatch"},
      {DISP_E_PARAMNOTFOUND, "parameter not found"},
      {DISP_E_BADPARAMCOUNT, "invalid number of parameters"},
      {DISP_E_BADVARTYPE, "bad variable type"},
      {DISP_E_OVERFLOW, "out of present range"},
      {DISP_E_NONAMEDARGS, "no named arguments"},
      {DISP_E_PARAMNOTOPTIONAL, "parameter not optional"},
      {RPC_E_CALL_REJECTED, "call rejected by callee"},
      {RPC_E_SERVERCALL_RETRYLATER, "server busy, retry later"},
      {RPC_E_DISCONNECTED, "object disconnected from its clients"},
      {RPC_E_SERVER_DIED, "server process died"},
      {RPC_S_SERVER_UNAVAILABLE, "RPC server unavailable"},
      {REGDB_E_CLASSNOTREG, "class not registered"},
      {CO_E_CLASSSTRING, "invalid class string: nothing registered under that name"},
      {CO_E_NOTINITIALIZED, "COM not initialised"},
      {TYPE_E_ELEMENTNOTFOUND, "element not found"},
      {E_NOINTERFACE, "no such interface"},
      {E_NOTIMPL, "not implemented"},
      {E_OUTOFMEMORY, "out of memory"},
      {E_INVALIDARG, "invalid argument"},
      {E_FAIL, "unspecified failure"},
  };
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  for (const Known& k : known) {
    if (k.hr == hr) return std::string(code) + " (" + k.text + ")";
  }
  char* buffer = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (n && buffer) {
    text.assign(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
      text.pop_back();
  }
  if (buffer) LocalFree(buffer);
  return text.empty() ? std::string(code) : std::string(code) + " (" + text + ")";
}

namespace {

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

constexpr SCODE kSpreadsheetErrorBase = static_cast<SCODE>(0x800A0000);

bool ArrayToValue(SAFEARRAY* psa, VARTYPE element_type, Variant* out, DispatchBridge& bridge, std::string* why) {
  if (!psa) return Fail(why, "null array");
  UINT dims = SafeArrayGetDim(psa);
  if (dims != 1 && dims != 2) return Fail(why, "array of " + std::to_string(dims) + " dimensions");
  LONG lo[2] = {0, 0}, hi[2] = {0, 0};
  for (UINT d = 0; d < dims; ++d) {
    if (FAILED(SafeArrayGetLBound(psa, d + 1, &lo[d])) || FAILED(SafeArrayGetUBound(psa, d + 1, &hi[d])))
      return Fail(why, "array bounds unreadable");
  }
  // A 1-D array is one row of values.
  long long rows = dims == 2 ? static_cast<long long>(hi[0]) - lo[0] + 1 : 1;
  long long cols = dims == 2 ? static_cast<long long>(hi[1]) - lo[1] + 1 : static_cast<long long>(hi[0]) - lo[0] + 1;
  if (rows < 0) rows = 0;
  if (cols < 0) cols = 0;
  if (rows * cols > (1LL << 28)) return Fail(why, "array too large");
  Variant result = Variant::MakeArray(static_cast<int>(rows), static_cast<int>(cols));
  bool by_variant = element_type == VT_VARIANT;
  if (!by_variant && (element_type == VT_DECIMAL || element_type == VT_RECORD))
    return Fail(why, "array of unsupported element type " + std::to_string(element_type));
  for (long long r = 0; r < rows; ++r) {
    for (long long c = 0; c < cols; ++c) {
      LONG index[2];
      if (dims == 2) {
        index[0] = static_cast<LONG>(lo[0] + r);
        index[1] = static_cast<LONG>(lo[1] + c);
      } else {
        index[0] = static_cast<LONG>(lo[0] + c);
      }
      VariantHolder element;
      HRESULT hr;
      if (by_variant) {
        hr = SafeArrayGetElement(psa, index, element.Get());
      } else {
        // Every scalar type but DECIMAL sits at the start of the VARIANT's value union.
        element.Get()->vt = element_type;
        hr = SafeArrayGetElement(psa, index, &element.Get()->llVal);
        if (FAILED(hr)) element.Get()->vt = VT_EMPTY;
      }
      if (FAILED(hr)) return Fail(why, "array element unreadable: " + HResultText(hr));
      if (!VariantToValue(*element.Get(), &result.At(static_cast<int>(r + 1), static_cast<int>(c + 1)), bridge, why))
        return false;
    }
  }
  *out = std::move(result);
  return true;
}

}  // namespace

bool VariantToValue(const VARIANT& in, Variant* out, DispatchBridge& bridge, std::string* why) {
  if (in.vt & VT_BYREF) {
    VariantHolder direct;
    HRESULT hr = VariantCopyInd(direct.Get(), const_cast<VARIANT*>(&in));
    if (FAILED(hr)) return Fail(why, "by-reference value unreadable: " + HResultText(hr));
    return VariantToValue(*direct.Get(), out, bridge, why);
  }
  if (in.vt & VT_ARRAY) return ArrayToValue(in.parray, static_cast<VARTYPE>(in.vt & VT_TYPEMASK), out, bridge, why);
  switch (in.vt) {
    case VT_EMPTY:
    case VT_NULL:
      *out = Variant::MakeEmpty();
      return true;
    case VT_BOOL: *out = Variant::MakeLogical(in.boolVal != VARIANT_FALSE); return true;
    case VT_I1: *out = Variant::MakeInteger(in.cVal); return true;
    case VT_UI1: *out = Variant::MakeInteger(in.bVal); return true;
    case VT_I2: *out = Variant::MakeInteger(in.iVal); return true;
    case VT_UI2: *out = Variant::MakeInteger(in.uiVal); return true;
    case VT_I4: *out = Variant::MakeInteger(in.lVal); return true;
    case VT_UI4: *out = Variant::MakeInteger(in.ulVal); return true;
    case VT_INT: *out = Variant::MakeInteger(in.intVal); return true;
    case VT_UINT: *out = Variant::MakeInteger(in.uintVal); return true;
    case VT_I8: *out = Variant::MakeInteger(in.llVal); return true;
    case VT_UI8:
      if (in.ullVal > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max()))
        *out = Variant::MakeReal(static_cast<double>(in.ullVal));
      else
        *out = Variant::MakeInteger(static_cast<int64_t>(in.ullVal));
      return true;
    case VT_R4: *out = Variant::MakeReal(in.fltVal); return true;
    case VT_R8: *out = Variant::MakeReal(in.dblVal); return true;
    case VT_CY: *out = Variant::MakeReal(static_cast<double>(in.cyVal.int64) / 10000.0); return true;
    case VT_DATE: *out = Variant::MakeDate(in.date); return true;
    case VT_DECIMAL: {
      VariantHolder real;
      HRESULT hr = VariantChangeType(real.Get(), const_cast<VARIANT*>(&in), 0, VT_R8);
      if (FAILED(hr)) return Fail(why, "decimal value unreadable: " + HResultText(hr));
      *out = Variant::MakeReal(real.Get()->dblVal);
      return true;
    }
    case VT_BSTR:
      *out = Variant::MakeText(WideToAnsi(in.bstrVal, in.bstrVal ? SysStringLen(in.bstrVal) : 0));
      return true;
    case VT_ERROR:
      if ((static_cast<unsigned long>(in.scode) & 0xFFFF0000UL) == static_cast<unsigned long>(kSpreadsheetErrorBase))
        *out = Variant::MakeError(in.scode & 0xFFFF);
      else
        *out = Variant::MakeError(static_cast<int32_t>(in.scode));
      return true;
    case VT_DISPATCH:
      if (!in.pdispVal) {
        *out = Variant::MakeObject(nullptr);
        return true;
      } else {
        ObjectRef object;
        if (!bridge.FromDispatch(in.pdispVal, &object, why)) return false;
        *out = Variant::MakeObject(std::move(object));
        return true;
      }
    case VT_UNKNOWN: {
      if (!in.punkVal) {
        *out = Variant::MakeObject(nullptr);
        return true;
      }
      ComPtr<IDispatch> dispatch;
      HRESULT hr = in.punkVal->QueryInterface(IID_IDispatch, dispatch.OutVoid());
      if (FAILED(hr)) return Fail(why, "object without IDispatch: " + HResultText(hr));
      ObjectRef object;
      if (!bridge.FromDispatch(dispatch.Get(), &object, why)) return false;
      *out = Variant::MakeObject(std::move(object));
      return true;
    }
    default:
      return Fail(why, "unsupported value type " + std::to_string(in.vt));
  }
}

bool ValueToVariant(const Variant& in, VARIANT* out, DispatchBridge& bridge, std::string* why) {
  VariantInit(out);
  switch (in.kind) {
    case VariantKind::Empty:
      return true;
    case VariantKind::Logical:
      out->vt = VT_BOOL;
      out->boolVal = in.logical ? VARIANT_TRUE : VARIANT_FALSE;
      return true;
    case VariantKind::Integer:
      // 32-bit where it fits: servers such as the spreadsheet application know no VT_I8.
      if (in.integer >= std::numeric_limits<LONG>::min() && in.integer <= std::numeric_limits<LONG>::max()) {
        out->vt = VT_I4;
        out->lVal = static_cast<LONG>(in.integer);
      } else {
        out->vt = VT_R8;
        out->dblVal = static_cast<double>(in.integer);
      }
      return true;
    case VariantKind::Real:
      out->vt = VT_R8;
      out->dblVal = in.real;
      return true;
    case VariantKind::Date:
      out->vt = VT_DATE;
      out->date = in.real;
      return true;
    case VariantKind::Text: {
      std::wstring w = AnsiToWide(in.text);
      BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
      if (!b) return Fail(why, "out of memory for a text");
      out->vt = VT_BSTR;
      out->bstrVal = b;
      return true;
    }
    case VariantKind::Error:
      out->vt = VT_ERROR;
      out->scode = in.integer >= 0 && in.integer <= 0xFFFF ? (kSpreadsheetErrorBase | static_cast<SCODE>(in.integer))
                                                          : static_cast<SCODE>(in.integer);
      return true;
    case VariantKind::Object: {
      if (!in.object) {
        out->vt = VT_DISPATCH;
        out->pdispVal = nullptr;
        return true;
      }
      IDispatch* dispatch = nullptr;
      if (!bridge.ToDispatch(in.object, &dispatch, why)) return false;
      out->vt = VT_DISPATCH;
      out->pdispVal = dispatch;
      return true;
    }
    case VariantKind::Array: {
      if (!in.array || in.rows < 0 || in.cols < 0 ||
          in.array->size() != static_cast<size_t>(in.rows) * static_cast<size_t>(in.cols))
        return Fail(why, "malformed array");
      SAFEARRAYBOUND bounds[2];
      bounds[0].lLbound = 1;
      bounds[0].cElements = static_cast<ULONG>(in.rows);
      bounds[1].lLbound = 1;
      bounds[1].cElements = static_cast<ULONG>(in.cols);
      SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, bounds);
      if (!psa) return Fail(why, "out of memory for an array");
      for (int r = 1; r <= in.rows; ++r) {
        for (int c = 1; c <= in.cols; ++c) {
          VariantHolder element;
          LONG index[2] = {r, c};
          HRESULT hr = E_FAIL;
          if (ValueToVariant(in.At(r, c), element.Get(), bridge, why)) {
            hr = SafeArrayPutElement(psa, index, element.Get());
            if (FAILED(hr) && why) *why = "array element not stored: " + HResultText(hr);
          }
          if (FAILED(hr)) {
            SafeArrayDestroy(psa);
            return false;
          }
        }
      }
      out->vt = VT_ARRAY | VT_VARIANT;
      out->parray = psa;
      return true;
    }
  }
  return Fail(why, "unknown value kind");
}
