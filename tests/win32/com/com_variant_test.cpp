// VARIANT <-> Variant conversions, on values built by hand.

#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

#include "spreadsheet/com/com_holders_win32.h"
#include "spreadsheet/com/com_variant_win32.h"

namespace {

class NoObjects : public DispatchBridge {
 public:
  bool FromDispatch(IDispatch*, ObjectRef*, std::string* why) override {
    *why = "no objects here";
    return false;
  }
  bool ToDispatch(const ObjectRef&, IDispatch**, std::string* why) override {
    *why = "no objects here";
    return false;
  }
};

TEST(ComVariant, ScalarsFromTheServer) {
  struct Case {
    VARTYPE vt;
    void (*fill)(VARIANT*);
    VariantKind kind;
    int64_t integer;
    double real;
    bool logical;
  };
  const Case cases[] = {
      {VT_I2, [](VARIANT* v) { v->iVal = -300; }, VariantKind::Integer, -300, 0, false},
      {VT_I4, [](VARIANT* v) { v->lVal = 70000; }, VariantKind::Integer, 70000, 0, false},
      {VT_UI1, [](VARIANT* v) { v->bVal = 200; }, VariantKind::Integer, 200, 0, false},
      {VT_R8, [](VARIANT* v) { v->dblVal = 1.5; }, VariantKind::Real, 0, 1.5, false},
      {VT_R4, [](VARIANT* v) { v->fltVal = 0.25f; }, VariantKind::Real, 0, 0.25, false},
      {VT_CY, [](VARIANT* v) { v->cyVal.int64 = 123456; }, VariantKind::Real, 0, 12.3456, false},
      {VT_DATE, [](VARIANT* v) { v->date = 45292.5; }, VariantKind::Date, 0, 45292.5, false},
      {VT_BOOL, [](VARIANT* v) { v->boolVal = VARIANT_TRUE; }, VariantKind::Logical, 0, 0, true},
      {VT_BOOL, [](VARIANT* v) { v->boolVal = VARIANT_FALSE; }, VariantKind::Logical, 0, 0, false},
      // The spreadsheet's #REF! error, and an omitted argument's code.
      {VT_ERROR, [](VARIANT* v) { v->scode = static_cast<SCODE>(0x800A07E7); }, VariantKind::Error, 2023, 0, false},
      {VT_ERROR, [](VARIANT* v) { v->scode = DISP_E_PARAMNOTFOUND; }, VariantKind::Error,
       static_cast<int32_t>(DISP_E_PARAMNOTFOUND), 0, false},
      {VT_EMPTY, [](VARIANT*) {}, VariantKind::Empty, 0, 0, false},
      {VT_NULL, [](VARIANT*) {}, VariantKind::Empty, 0, 0, false},
  };
  NoObjects bridge;
  for (const Case& c : cases) {
    VariantHolder in;
    in.Get()->vt = c.vt;
    c.fill(in.Get());
    Variant out;
    std::string why;
    ASSERT_TRUE(VariantToValue(*in.Get(), &out, bridge, &why)) << c.vt << ": " << why;
    EXPECT_EQ(out.kind, c.kind) << c.vt;
    EXPECT_EQ(out.integer, c.integer) << c.vt;
    EXPECT_DOUBLE_EQ(out.real, c.real) << c.vt;
    EXPECT_EQ(out.logical, c.logical) << c.vt;
  }
}

TEST(ComVariant, ValueByReferenceIsRead) {
  LONG target = 17;
  VARIANT in;
  VariantInit(&in);
  in.vt = VT_BYREF | VT_I4;
  in.plVal = &target;
  NoObjects bridge;
  Variant out;
  std::string why;
  ASSERT_TRUE(VariantToValue(in, &out, bridge, &why)) << why;
  EXPECT_EQ(out.integer, 17);
}

// The spreadsheet's values of a range: a 2-D array with 1-based bounds,
// first index the row. Built here with the plain SAFEARRAY calls.
TEST(ComVariant, RangeValuesArrayKeepsRowsAndColumns) {
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, 1}};  // 3 rows, 2 columns
  SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, bounds);
  ASSERT_NE(psa, nullptr);
  for (LONG r = 1; r <= 3; ++r) {
    for (LONG c = 1; c <= 2; ++c) {
      VariantHolder e;
      e.Get()->vt = VT_I4;
      e.Get()->lVal = r * 10 + c;
      LONG index[2] = {r, c};
      ASSERT_EQ(SafeArrayPutElement(psa, index, e.Get()), S_OK);
    }
  }
  VariantHolder in;
  in.Get()->vt = VT_ARRAY | VT_VARIANT;
  in.Get()->parray = psa;
  NoObjects bridge;
  Variant out;
  std::string why;
  ASSERT_TRUE(VariantToValue(*in.Get(), &out, bridge, &why)) << why;
  ASSERT_EQ(out.kind, VariantKind::Array);
  ASSERT_EQ(out.rows, 3);
  ASSERT_EQ(out.cols, 2);
  for (int r = 1; r <= 3; ++r)
    for (int c = 1; c <= 2; ++c) EXPECT_EQ(out.At(r, c).integer, r * 10 + c) << r << "," << c;

  // And back: the same shape and bounds.
  VariantHolder again;
  ASSERT_TRUE(ValueToVariant(out, again.Get(), bridge, &why)) << why;
  ASSERT_EQ(again.Get()->vt, VT_ARRAY | VT_VARIANT);
  LONG lo = 0, hi = 0;
  SafeArrayGetLBound(again.Get()->parray, 1, &lo);
  SafeArrayGetUBound(again.Get()->parray, 1, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 3);
  SafeArrayGetUBound(again.Get()->parray, 2, &hi);
  EXPECT_EQ(hi, 2);
  VariantHolder e;
  LONG index[2] = {3, 1};
  ASSERT_EQ(SafeArrayGetElement(again.Get()->parray, index, e.Get()), S_OK);
  EXPECT_EQ(e.Get()->lVal, 31);
}

TEST(ComVariant, OneDimensionalTextArrayIsOneRow) {
  SAFEARRAYBOUND bound = {2, 0};
  SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 1, &bound);
  ASSERT_NE(psa, nullptr);
  const wchar_t* texts[2] = {L"a", L"\u4e2d"};
  for (LONG i = 0; i < 2; ++i) {
    BSTR b = SysAllocString(texts[i]);
    ASSERT_EQ(SafeArrayPutElement(psa, &i, b), S_OK);
    SysFreeString(b);
  }
  VariantHolder in;
  in.Get()->vt = VT_ARRAY | VT_BSTR;
  in.Get()->parray = psa;
  NoObjects bridge;
  Variant out;
  std::string why;
  ASSERT_TRUE(VariantToValue(*in.Get(), &out, bridge, &why)) << why;
  ASSERT_EQ(out.rows, 1);
  ASSERT_EQ(out.cols, 2);
  EXPECT_EQ(out.At(1, 1).text, "a");
  EXPECT_EQ(out.At(1, 2).text, "\xD6\xD0");  // 中 in GBK
}

TEST(ComVariant, ValuesToTheServer) {
  NoObjects bridge;
  std::string why;
  VariantHolder v;
  ASSERT_TRUE(ValueToVariant(Variant::MakeInteger(-4108), v.Get(), bridge, &why));
  EXPECT_EQ(v.Get()->vt, VT_I4);
  EXPECT_EQ(v.Get()->lVal, -4108);
  ASSERT_TRUE(ValueToVariant(Variant::MakeInteger(1LL << 40), v.Out(), bridge, &why));
  EXPECT_EQ(v.Get()->vt, VT_R8);  // the application knows no 64-bit integers
  EXPECT_EQ(v.Get()->dblVal, static_cast<double>(1LL << 40));
  ASSERT_TRUE(ValueToVariant(Variant::MakeError(2042), v.Out(), bridge, &why));
  EXPECT_EQ(v.Get()->vt, VT_ERROR);
  EXPECT_EQ(static_cast<unsigned long>(v.Get()->scode), 0x800A07FAul);
  ASSERT_TRUE(ValueToVariant(Variant::MakeLogical(true), v.Out(), bridge, &why));
  EXPECT_EQ(v.Get()->boolVal, VARIANT_TRUE);
  // No object at all is sent as a null dispatch pointer (Nothing).
  ASSERT_TRUE(ValueToVariant(Variant::MakeObject(nullptr), v.Out(), bridge, &why));
  EXPECT_EQ(v.Get()->vt, VT_DISPATCH);
  EXPECT_EQ(v.Get()->pdispVal, nullptr);
}

}  // namespace
