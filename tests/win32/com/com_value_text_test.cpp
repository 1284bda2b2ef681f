// The cell text the batch searches must be the one the spreadsheet
// application's automation route gives (VariantChangeType to VT_BSTR), so
// that both routes find the same cells: checked against the system's own
// conversion here.

#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

#include "spreadsheet/com/com_holders_win32.h"
#include "spreadsheet/com/com_variant_win32.h"
#include "spreadsheet/value_text.h"

namespace {

class NoObjects : public DispatchBridge {
 public:
  bool FromDispatch(IDispatch*, ObjectRef*, std::string*) override { return false; }
  bool ToDispatch(const ObjectRef&, IDispatch**, std::string*) override { return false; }
};

TEST(ComValueText, MatchesTheSystemsStandardConversion) {
  const Variant cases[] = {
      Variant::MakeInteger(0),          Variant::MakeInteger(-12),        Variant::MakeInteger(2147483647),
      Variant::MakeReal(0.1),           Variant::MakeReal(-2.5),          Variant::MakeReal(1.0 / 3.0),
      Variant::MakeReal(123456789012345.0), Variant::MakeReal(1234567890123456.0), Variant::MakeReal(1e20),
      Variant::MakeReal(0.0001),        Variant::MakeReal(0.000015),      Variant::MakeReal(100),
      Variant::MakeReal(-0.0),          Variant::MakeReal(2.675),         Variant::MakeReal(1e-300),
      Variant::MakeLogical(true),       Variant::MakeLogical(false),
      Variant::MakeDate(45292.0),       Variant::MakeDate(45292.75),      Variant::MakeDate(0.5),
      Variant::MakeDate(1.0),           Variant::MakeDate(45292.5 + 1.0 / 86400.0),
      // Times before 10 o'clock are left out: Wine's Chinese time format pads
      // the hour ("00:00:01") where Windows' does not ("0:00:01").
      Variant::MakeText("abc"),         Variant::MakeEmpty(),
  };
  NoObjects bridge;
  for (const Variant& v : cases) {
    VariantHolder in, text;
    std::string why;
    ASSERT_TRUE(ValueToVariant(v, in.Get(), bridge, &why)) << why;
    HRESULT hr = VariantChangeType(text.Get(), in.Get(), 0, VT_BSTR);
    ASSERT_EQ(hr, S_OK) << "kind " << static_cast<int>(v.kind);
    std::string system = WideToAnsi(text.Get()->bstrVal, SysStringLen(text.Get()->bstrVal));
    EXPECT_EQ(ValueToText(v), system) << "kind " << static_cast<int>(v.kind) << ", integer " << v.integer
                                      << ", real " << v.real;
  }
}

}  // namespace
