// The IDispatch binding against the stand-in server's test object.

#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "spreadsheet/com/com_holders_win32.h"
#include "spreadsheet/com/com_object.h"
#include "spreadsheet/com/dispatch_object_win32.h"
#include "tests/win32/com/ole_environment.h"
#include "tests/win32/standin/standin_support.h"
#include "text/encoding.h"

namespace {

const auto* const ole = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

// The stand-in's test object, made through its class factory: no registry involved.
ObjectRef NewTestObject() { return WrapDispatch(NewStandInTestObject().Get()); }

long Trips() { return StandInCountsNow().round_trips; }

class ComBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 936u) << "the Windows tests run with the Chinese code page";
    object_ = NewTestObject();
    ASSERT_TRUE(object_) << "stand-in not loadable";
    live_before_ = StandInCountsNow().live_objects - 1;
  }
  void TearDown() override {
    object_.reset();
    // Every served object is released once the client lets go of its references.
    EXPECT_EQ(StandInCountsNow().live_objects, live_before_);
  }

  ObjectRef object_;
  long live_before_ = 0;
};

Variant Text(const char* utf8) { return Variant::MakeText(FromUtf8(utf8)); }

bool SameValue(const Variant& a, const Variant& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case VariantKind::Empty: return true;
    case VariantKind::Logical: return a.logical == b.logical;
    case VariantKind::Integer:
    case VariantKind::Error: return a.integer == b.integer;
    case VariantKind::Real:
    case VariantKind::Date: return a.real == b.real;
    case VariantKind::Text: return a.text == b.text;
    case VariantKind::Object: return a.object == b.object;
    case VariantKind::Array:
      if (a.rows != b.rows || a.cols != b.cols) return false;
      for (int r = 1; r <= a.rows; ++r)
        for (int c = 1; c <= a.cols; ++c)
          if (!SameValue(a.At(r, c), b.At(r, c))) return false;
      return true;
  }
  return false;
}

TEST_F(ComBinding, ValuesWrittenAreReadBackUnchanged) {
  Variant grid = Variant::MakeArray(2, 3);
  grid.At(1, 1) = Text("甲");
  grid.At(1, 2) = Variant::MakeReal(2.5);
  grid.At(1, 3) = Variant::MakeEmpty();
  grid.At(2, 1) = Variant::MakeLogical(true);
  grid.At(2, 2) = Variant::MakeError(2042);
  grid.At(2, 3) = Variant::MakeInteger(-7);
  const std::vector<Variant> cases = {
      Variant::MakeInteger(123456),   Variant::MakeInteger(-1),        Variant::MakeReal(0.1),
      Variant::MakeLogical(false),    Variant::MakeLogical(true),      Variant::MakeDate(45000.75),
      Text("plain ascii"),            Text("中文：替换后的文字"),       Text(""),
      Variant::MakeError(2007),       Variant::MakeEmpty(),            grid,
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string why;
    ASSERT_TRUE(object_->Put("Stored", {}, cases[i], &why)) << i << ": " << why;
    Variant back;
    ASSERT_TRUE(object_->Get("Stored", {}, &back, &why)) << i << ": " << why;
    EXPECT_TRUE(SameValue(back, cases[i])) << "case " << i;
  }
}

TEST_F(ComBinding, PropertiesWithArgumentsAndMethodCalls) {
  std::string why;
  ASSERT_TRUE(object_->Put("Stored", {Variant::MakeInteger(2)}, Text("二"), &why)) << why;
  ASSERT_TRUE(object_->Put("Stored", {Variant::MakeInteger(3)}, Text("三"), &why)) << why;
  Variant v;
  ASSERT_TRUE(object_->Get("Stored", {Variant::MakeInteger(2)}, &v, &why)) << why;
  EXPECT_EQ(v.text, FromUtf8("二"));

  ASSERT_TRUE(object_->Call("Twice", {Variant::MakeInteger(21)}, &v, &why)) << why;
  EXPECT_EQ(v.kind, VariantKind::Integer);
  EXPECT_EQ(v.integer, 42);

  // Arguments arrive in their order, not the reversed order of DISPPARAMS.
  ASSERT_TRUE(object_->Call("Echo", {Variant::MakeInteger(1), Text("b"), Variant::MakeLogical(true)}, &v, &why));
  ASSERT_EQ(v.kind, VariantKind::Array);
  ASSERT_EQ(v.rows, 1);
  ASSERT_EQ(v.cols, 3);
  EXPECT_EQ(v.At(1, 1).integer, 1);
  EXPECT_EQ(v.At(1, 2).text, "b");
  EXPECT_TRUE(v.At(1, 3).logical);

  // A call whose result is not wanted.
  EXPECT_TRUE(object_->Call("Echo", {Variant::MakeInteger(5)}, nullptr, &why)) << why;
}

TEST_F(ComBinding, NameOutsideTheTypeInformationResolvesThroughGetIDsOfNames) {
  StandInCountsData before = StandInCountsNow();
  Variant v;
  std::string why;
  ASSERT_TRUE(object_->Get("Frobnicate", {}, &v, &why)) << why;
  EXPECT_EQ(v.integer, 42);
  EXPECT_EQ(StandInCountsNow().get_ids_of_names, before.get_ids_of_names + 1);
}

TEST_F(ComBinding, FailuresComeBackWithTheirReason) {
  struct Case {
    const char* name;
    bool call;
    std::vector<std::string> reason_parts;
  };
  const Case cases[] = {
      // Not in the type information; the server knows no such member either.
      {"NoSuchMember", false, {"NoSuchMember", "0x80020003"}},
      // Declared by the type information, but this object lacks it.
      {"UsedRange", false, {"UsedRange", "0x80020003"}},
      // The object refused the call: the server's own description, in Chinese.
      {"Fail", true, {"Fail", FromUtf8("故意失败"), "0x800A03EC"}},
  };
  for (const Case& c : cases) {
    Variant v = Variant::MakeInteger(99);
    std::string why;
    bool ok = c.call ? object_->Call(c.name, {}, &v, &why) : object_->Get(c.name, {}, &v, &why);
    EXPECT_FALSE(ok) << c.name;
    for (const std::string& part : c.reason_parts) EXPECT_NE(why.find(part), std::string::npos) << c.name << ": " << why;
  }
  // A failed member does not spoil the object.
  std::string why;
  EXPECT_TRUE(object_->Put("Stored", {}, Variant::MakeInteger(1), &why)) << why;
}

// Texts cross as UTF-16 BSTRs: checked against raw IDispatch calls with wide literals.
TEST_F(ComBinding, ChineseTextsCrossAsUnicode) {
  IDispatch* raw = DispatchOf(object_);
  ASSERT_NE(raw, nullptr);
  wchar_t name[] = L"Stored";
  LPOLESTR names[1] = {name};
  DISPID id = 0;
  ASSERT_EQ(raw->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);

  std::string why;
  ASSERT_TRUE(object_->Put("Stored", {}, Variant::MakeText("\xD6\xD0\xCE\xC4"), &why)) << why;  // 中文 in GBK
  VariantHolder out;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  ASSERT_EQ(raw->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out.Out(), nullptr, nullptr),
            S_OK);
  ASSERT_EQ(out.Get()->vt, VT_BSTR);
  EXPECT_EQ(std::wstring(out.Get()->bstrVal, SysStringLen(out.Get()->bstrVal)), L"\u4e2d\u6587");

  VariantHolder value;
  value.Get()->vt = VT_BSTR;
  value.Get()->bstrVal = SysAllocString(L"\u66ff\u6362");  // 替换
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put = {value.Get(), &named, 1, 1};
  ASSERT_EQ(raw->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
            S_OK);
  Variant back;
  ASSERT_TRUE(object_->Get("Stored", {}, &back, &why)) << why;
  EXPECT_EQ(back.text, "\xCC\xE6\xBB\xBB");  // 替换 in GBK
}

// The server, like the real application, needs the named DISPID_PROPERTYPUT
// argument on a write: the binding sends it.
TEST_F(ComBinding, PutsCarryTheNamedPropertyPutArgument) {
  IDispatch* raw = DispatchOf(object_);
  wchar_t name[] = L"Stored";
  LPOLESTR names[1] = {name};
  DISPID id = 0;
  ASSERT_EQ(raw->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
  VariantHolder value;
  value.Get()->vt = VT_I4;
  value.Get()->lVal = 5;
  DISPPARAMS unnamed = {value.Get(), nullptr, 1, 0};
  EXPECT_EQ(raw->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
  std::string why;
  EXPECT_TRUE(object_->Put("Stored", {}, Variant::MakeInteger(5), &why)) << why;
}

// Names are resolved once per type, not once per call or per object.
TEST_F(ComBinding, ResolvedNamesAreRememberedPerType) {
  Variant v;
  std::string why;
  ASSERT_TRUE(object_->Put("Stored", {}, Variant::MakeInteger(1), &why)) << why;
  long before = Trips();
  ASSERT_TRUE(object_->Get("Stored", {}, &v, &why)) << why;
  ASSERT_TRUE(object_->Put("Stored", {}, Variant::MakeInteger(2), &why)) << why;
  EXPECT_EQ(Trips() - before, 2) << "one Invoke each, nothing resolved again";

  // Objects from the same member share their type: the first child asks for
  // its type information once, later children do not.
  Variant child;
  ASSERT_TRUE(object_->Get("Child", {}, &child, &why)) << why;
  before = Trips();
  ASSERT_TRUE(child.object->Get("Stored", {}, &v, &why)) << why;
  EXPECT_EQ(Trips() - before, 2) << "GetTypeInfo + Invoke";
  for (int i = 0; i < 3; ++i) {
    Variant another;
    ASSERT_TRUE(object_->Get("Child", {}, &another, &why)) << why;
    before = Trips();
    ASSERT_TRUE(another.object->Put("Stored", {}, Variant::MakeInteger(i), &why)) << why;
    ASSERT_TRUE(another.object->Get("Stored", {}, &v, &why)) << why;
    EXPECT_EQ(Trips() - before, 2) << "Invokes only";
    EXPECT_EQ(v.integer, i);
  }
}

// A server without type information is reached through GetIDsOfNames, and
// what it answered is remembered as well.
TEST_F(ComBinding, ObjectsWithoutTypeInformationResolveThroughGetIDsOfNames) {
  Variant bare, v;
  std::string why;
  ASSERT_TRUE(object_->Get("Bare", {}, &bare, &why)) << why;
  StandInCountsData before = StandInCountsNow();
  ASSERT_TRUE(bare.object->Put("Stored", {}, Variant::MakeInteger(7), &why)) << why;
  StandInCountsData after = StandInCountsNow();
  EXPECT_EQ(after.get_type_info - before.get_type_info, 1);  // asked, refused
  EXPECT_EQ(after.type_comp_calls - before.type_comp_calls, 0);
  EXPECT_EQ(after.get_ids_of_names - before.get_ids_of_names, 1);
  EXPECT_EQ(after.invoke - before.invoke, 1);
  ASSERT_TRUE(bare.object->Get("Stored", {}, &v, &why)) << why;
  EXPECT_EQ(v.integer, 7);

  Variant second;
  ASSERT_TRUE(object_->Get("Bare", {}, &second, &why)) << why;
  long trips = Trips();
  ASSERT_TRUE(second.object->Put("Stored", {}, Variant::MakeInteger(8), &why)) << why;
  EXPECT_EQ(Trips() - trips, 1) << "Invoke only";
}

TEST_F(ComBinding, ObjectsPassedBackToTheServerKeepTheirIdentity) {
  Variant child;
  std::string why;
  ASSERT_TRUE(object_->Get("Child", {}, &child, &why)) << why;
  ASSERT_TRUE(child.object->Put("Stored", {}, Text("内层"), &why)) << why;
  ASSERT_TRUE(object_->Put("Stored", {}, child, &why)) << why;
  Variant back, text;
  ASSERT_TRUE(object_->Get("Stored", {}, &back, &why)) << why;
  ASSERT_EQ(back.kind, VariantKind::Object);
  ASSERT_TRUE(back.object->Get("Stored", {}, &text, &why)) << why;
  EXPECT_EQ(text.text, FromUtf8("内层"));
  ASSERT_TRUE(object_->Put("Stored", {}, Variant::MakeEmpty(), &why)) << why;  // let the child go
}

TEST(ComCreate, CreatesByProgIdAndExplainsAMissingServer) {
  std::string why;
  EXPECT_FALSE(CreateAutomationObject("CellSweep.NoSuchServer", &why));
  EXPECT_NE(why.find("CellSweep.NoSuchServer"), std::string::npos) << why;
  EXPECT_NE(why.find("0x800401F3"), std::string::npos) << why;

  ScopedStandInRegistration registered(false, true);
  ASSERT_TRUE(registered.ok()) << registered.why();
  ObjectRef object = CreateAutomationObject(kStandInTestProgId, &why);
  ASSERT_TRUE(object) << why;
  Variant v;
  ASSERT_TRUE(object->Call("Twice", {Variant::MakeReal(1.25)}, &v, &why)) << why;
  EXPECT_EQ(v.real, 2.5);
}

TEST(ComCreate, BusyServerCallsAreRetriedForAWhile) {
  InstallBusyRetryFilter();
  IMessageFilter* ours = nullptr;
  ASSERT_EQ(CoRegisterMessageFilter(nullptr, &ours), S_OK);
  ASSERT_NE(ours, nullptr);
  EXPECT_EQ(ours->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), 100u);
  EXPECT_EQ(ours->RetryRejectedCall(nullptr, 30000, SERVERCALL_REJECTED), 100u);
  EXPECT_EQ(ours->RetryRejectedCall(nullptr, 61000, SERVERCALL_RETRYLATER), static_cast<DWORD>(-1));
  IMessageFilter* none = nullptr;
  CoRegisterMessageFilter(ours, &none);  // put it back
  ours->Release();
}

}  // namespace
