// The stand-in automation server: IDispatch objects with type information over
// LateBound objects, for tests under Wine where no spreadsheet application exists.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "spreadsheet/com/com_holders_win32.h"
#include "spreadsheet/com/com_variant_win32.h"
#include "spreadsheet/com/dispatch_object_win32.h"
#include "spreadsheet/late_bound.h"
#include "tests/win32/standin/standin.h"
#include "tests/win32/standin/test_object.h"

#ifdef STANDIN_HAS_ENGINE
#include "spreadsheet/xlsx/builtin_application.h"
#endif

namespace {

HMODULE module_handle = nullptr;

// ---- counting ----

StandInCountsData counts = {};
std::mutex members_mutex;
std::map<std::string, LONG> member_counts;  // "Value get" -> Invoke count

void Count(LONG* kind) {
  InterlockedIncrement(kind);
  InterlockedIncrement(&counts.round_trips);
}

void CountMember(const std::string& name, WORD flags) {
  const char* how = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) ? "put"
                    : (flags & DISPATCH_PROPERTYGET)                          ? "get"
                                                                              : "call";
  std::lock_guard<std::mutex> lock(members_mutex);
  ++member_counts[name + " " + how];
}

void WriteCounts() {
  const char* path = std::getenv("CELLSWEEP_STANDIN_TRIPS");
  if (!path || !*path) return;
  FILE* f = std::fopen(path, "w");
  if (!f) return;
  std::fprintf(f, "round_trips %ld\ninvoke %ld\nget_ids_of_names %ld\nget_type_info %ld\ntype_info_calls %ld\n"
               "type_comp_calls %ld\nquery_interface %ld\nlive_objects %ld\n",
               counts.round_trips, counts.invoke, counts.get_ids_of_names, counts.get_type_info,
               counts.type_info_calls, counts.type_comp_calls, counts.query_interface, counts.live_objects);
  std::lock_guard<std::mutex> lock(members_mutex);
  for (const auto& m : member_counts) std::fprintf(f, "member %s %ld\n", m.first.c_str(), m.second);
  std::fclose(f);
}

// ---- the members the type information declares ----

enum Kind { kGet = 1, kPut = 2, kMethod = 4 };
struct Member {
  const wchar_t* name;
  int kinds;
};
// The union of the members the tool and its tests use on the application's
// objects, so they resolve through ITypeComp::Bind. A name not listed still
// works through GetIDsOfNames.
const Member kMembers[] = {
    {L"Workbooks", kGet}, {L"Sheets", kGet}, {L"Worksheets", kGet}, {L"ActiveWindow", kGet},
    {L"ActiveWorkbook", kGet}, {L"ActiveSheet", kGet}, {L"Application", kGet}, {L"Parent", kGet},
    {L"Visible", kGet | kPut}, {L"DisplayAlerts", kGet | kPut}, {L"ScreenUpdating", kGet | kPut},
    {L"Interactive", kGet | kPut}, {L"UserControl", kGet | kPut}, {L"EnableEvents", kGet | kPut},
    {L"Count", kGet}, {L"Item", kGet}, {L"Index", kGet}, {L"Name", kGet | kPut}, {L"FullName", kGet},
    {L"Path", kGet}, {L"Saved", kGet | kPut}, {L"ReadOnly", kGet}, {L"Type", kGet},
    {L"UsedRange", kGet}, {L"Range", kGet}, {L"Cells", kGet}, {L"Rows", kGet}, {L"Columns", kGet},
    {L"Row", kGet}, {L"Column", kGet}, {L"Address", kGet}, {L"Text", kGet},
    {L"Value", kGet | kPut}, {L"Value2", kGet | kPut}, {L"Formula", kGet | kPut},
    {L"HorizontalAlignment", kGet | kPut}, {L"VerticalAlignment", kGet | kPut},
    {L"ShrinkToFit", kGet | kPut}, {L"WrapText", kGet | kPut}, {L"NumberFormat", kGet | kPut},
    {L"Add", kMethod}, {L"Open", kMethod}, {L"Close", kMethod}, {L"Save", kMethod}, {L"SaveAs", kMethod},
    {L"Activate", kMethod}, {L"Select", kMethod}, {L"SendKeys", kMethod}, {L"Quit", kMethod},
    // The test object's.
    {L"Stored", kGet | kPut}, {L"Child", kGet}, {L"Echo", kMethod}, {L"Twice", kMethod}, {L"Fail", kMethod},
};
constexpr DISPID kFirstListedId = 1;
constexpr DISPID kFirstUnlistedId = 0x10000;

std::string LowerAscii(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(static_cast<char>(c < 128 ? std::tolower(static_cast<int>(c)) : '?'));
  return s;
}

std::mutex names_mutex;
std::map<std::string, DISPID> unlisted_ids;  // lower-case name -> id
std::map<DISPID, std::string> unlisted_names;

// The member name behind an id, as the object model spells it; empty if unknown.
std::string NameOfId(DISPID id) {
  if (id >= kFirstListedId && id < kFirstListedId + static_cast<DISPID>(sizeof kMembers / sizeof kMembers[0])) {
    std::wstring w = kMembers[id - kFirstListedId].name;
    return std::string(w.begin(), w.end());
  }
  std::lock_guard<std::mutex> lock(names_mutex);
  auto it = unlisted_names.find(id);
  return it == unlisted_names.end() ? std::string() : it->second;
}

DISPID IdOfName(const std::wstring& name) {
  std::string lower = LowerAscii(name);
  for (size_t i = 0; i < sizeof kMembers / sizeof kMembers[0]; ++i) {
    if (LowerAscii(kMembers[i].name) == lower) return kFirstListedId + static_cast<DISPID>(i);
  }
  for (wchar_t c : name) {
    if (!(c < 128 && (std::isalnum(static_cast<int>(c)) || c == L'_'))) return DISPID_UNKNOWN;
  }
  std::lock_guard<std::mutex> lock(names_mutex);
  auto it = unlisted_ids.find(lower);
  if (it != unlisted_ids.end()) return it->second;
  DISPID id = kFirstUnlistedId + static_cast<DISPID>(unlisted_ids.size());
  unlisted_ids[lower] = id;
  unlisted_names[id] = std::string(name.begin(), name.end());
  return id;
}

// ---- counted type information ----

class CountedTypeComp final : public ITypeComp {
 public:
  explicit CountedTypeComp(ITypeComp* inner) : inner_(ComPtr<ITypeComp>::Share(inner)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeComp)) {
      *out = static_cast<ITypeComp*>(this);
      AddRef();
      return S_OK;
    }
    Count(&counts.query_interface);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE Bind(LPOLESTR name, ULONG hash, WORD flags, ITypeInfo** info, DESCKIND* kind,
                                 BINDPTR* bound) override {
    Count(&counts.type_comp_calls);
    return inner_->Bind(name, hash, flags, info, kind, bound);
  }
  HRESULT STDMETHODCALLTYPE BindType(LPOLESTR name, ULONG hash, ITypeInfo** info, ITypeComp** comp) override {
    Count(&counts.type_comp_calls);
    return inner_->BindType(name, hash, info, comp);
  }

 private:
  ComPtr<ITypeComp> inner_;
  LONG refs_ = 1;
};

class CountedTypeInfo final : public ITypeInfo {
 public:
  explicit CountedTypeInfo(ITypeInfo* inner) : inner_(ComPtr<ITypeInfo>::Share(inner)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeInfo)) {
      *out = static_cast<ITypeInfo*>(this);
      AddRef();
      return S_OK;
    }
    Count(&counts.query_interface);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** a) override { Count(&counts.type_info_calls); return inner_->GetTypeAttr(a); }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override {
    Count(&counts.type_info_calls);
    if (!comp) return E_POINTER;
    ComPtr<ITypeComp> inner;
    HRESULT hr = inner_->GetTypeComp(inner.Out());
    if (FAILED(hr)) return hr;
    *comp = new CountedTypeComp(inner.Get());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT i, FUNCDESC** d) override { Count(&counts.type_info_calls); return inner_->GetFuncDesc(i, d); }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT i, VARDESC** d) override { Count(&counts.type_info_calls); return inner_->GetVarDesc(i, d); }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID id, BSTR* names, UINT max, UINT* n) override {
    Count(&counts.type_info_calls);
    return inner_->GetNames(id, names, max, n);
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT i, HREFTYPE* r) override { Count(&counts.type_info_calls); return inner_->GetRefTypeOfImplType(i, r); }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT i, INT* f) override { Count(&counts.type_info_calls); return inner_->GetImplTypeFlags(i, f); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT n, MEMBERID* ids) override {
    Count(&counts.type_info_calls);
    return inner_->GetIDsOfNames(names, n, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(PVOID self, MEMBERID id, WORD flags, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                                   UINT* a) override {
    Count(&counts.type_info_calls);
    return inner_->Invoke(self, id, flags, p, r, e, a);
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* ctx, BSTR* file) override {
    Count(&counts.type_info_calls);
    return inner_->GetDocumentation(id, name, doc, ctx, file);
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID id, INVOKEKIND k, BSTR* dll, BSTR* name, WORD* ord) override {
    Count(&counts.type_info_calls);
    return inner_->GetDllEntry(id, k, dll, name, ord);
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE h, ITypeInfo** t) override { Count(&counts.type_info_calls); return inner_->GetRefTypeInfo(h, t); }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID id, INVOKEKIND k, PVOID* p) override {
    Count(&counts.type_info_calls);
    return inner_->AddressOfMember(id, k, p);
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, PVOID* out) override {
    Count(&counts.type_info_calls);
    return inner_->CreateInstance(outer, riid, out);
  }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID id, BSTR* m) override { Count(&counts.type_info_calls); return inner_->GetMops(id, m); }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** lib, UINT* i) override {
    Count(&counts.type_info_calls);
    return inner_->GetContainingTypeLib(lib, i);
  }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* a) override { inner_->ReleaseTypeAttr(a); }
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* d) override { inner_->ReleaseFuncDesc(d); }
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* d) override { inner_->ReleaseVarDesc(d); }

 private:
  ComPtr<ITypeInfo> inner_;
  LONG refs_ = 1;
};

// One interface description for every served object, built once; the same
// ITypeInfo is handed out each time, as a proxy for one remote type would be.
ITypeInfo* SharedTypeInfo() {
  static ITypeInfo* shared = [] {
    static std::vector<METHODDATA> methods;
    static PARAMDATA value_param = {const_cast<OLECHAR*>(L"RHS"), VT_VARIANT};
    UINT slot = 7;  // after IDispatch's seven vtable entries
    for (size_t i = 0; i < sizeof kMembers / sizeof kMembers[0]; ++i) {
      const Member& m = kMembers[i];
      DISPID id = kFirstListedId + static_cast<DISPID>(i);
      auto add = [&](WORD flags, UINT args) {
        METHODDATA d = {};
        d.szName = const_cast<OLECHAR*>(m.name);
        d.ppdata = args ? &value_param : nullptr;
        d.dispid = id;
        d.iMeth = slot++;
        d.cc = CC_STDCALL;
        d.cArgs = args;
        d.wFlags = flags;
        d.vtReturn = flags == DISPATCH_PROPERTYPUT ? VT_EMPTY : VT_VARIANT;
        methods.push_back(d);
      };
      if (m.kinds & kGet) add(DISPATCH_PROPERTYGET, 0);
      if (m.kinds & kPut) add(DISPATCH_PROPERTYPUT, 1);
      if (m.kinds & kMethod) add(DISPATCH_METHOD, 0);
    }
    static INTERFACEDATA data;
    data.pmethdata = methods.data();
    data.cMembers = static_cast<UINT>(methods.size());
    ComPtr<ITypeInfo> coclass;
    if (FAILED(CreateDispTypeInfo(&data, LOCALE_SYSTEM_DEFAULT, coclass.Out()))) return static_cast<ITypeInfo*>(nullptr);
    // CreateDispTypeInfo describes a coclass; the interface is its first implemented type.
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> iface;
    if (FAILED(coclass->GetRefTypeOfImplType(0, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, iface.Out())))
      return static_cast<ITypeInfo*>(nullptr);
    return static_cast<ITypeInfo*>(new CountedTypeInfo(iface.Get()));
  }();
  return shared;
}

// ---- served objects ----

bool LacksMember(const std::string& why) {
  std::string lower;
  for (char c : why) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return lower.find("no member") != std::string::npos || lower.find("unknown member") != std::string::npos;
}

class ServedObject;

// Objects coming in are unwrapped when they are ours, else reached as clients.
class ServerBridge : public DispatchBridge {
 public:
  bool FromDispatch(IDispatch* dispatch, ObjectRef* object, std::string* why) override;
  bool ToDispatch(const ObjectRef& object, IDispatch** dispatch, std::string* why) override;
};

// {5E0C1D2B-3A7B-4C55-9D0E-6F1A2B3C4D5E}: lets the server recognise its own objects.
const IID kServedObjectIid = {0x5e0c1d2b, 0x3a7b, 0x4c55, {0x9d, 0x0e, 0x6f, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}};

class ServedObject final : public IDispatch {
 public:
  explicit ServedObject(ObjectRef target)
      : target_(std::move(target)), typed_(!ServedWithoutTypeInfo(target_)) {
    InterlockedIncrement(&counts.live_objects);
  }
  ~ServedObject() {
    target_.reset();
    if (InterlockedDecrement(&counts.live_objects) == 0) WriteCounts();
  }

  const ObjectRef& Target() const { return target_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, kServedObjectIid)) {  // in-process recognition only, no reference
      *out = this;
      return S_OK;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    Count(&counts.query_interface);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    Count(&counts.get_type_info);
    if (!n) return E_POINTER;
    *n = typed_ && SharedTypeInfo() ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    Count(&counts.get_type_info);
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0 || !typed_) return DISP_E_BADINDEX;
    ITypeInfo* shared = SharedTypeInfo();
    if (!shared) return E_FAIL;
    shared->AddRef();
    *info = shared;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) override {
    Count(&counts.get_ids_of_names);
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < n; ++i) {
      // Only the member name is resolved; named arguments are not supported.
      ids[i] = i == 0 && names[i] ? IdOfName(names[i]) : DISPID_UNKNOWN;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* arg_error) override {
    Count(&counts.invoke);
    std::string name = NameOfId(id);
    if (name.empty()) return DISP_E_MEMBERNOTFOUND;
    CountMember(name, flags);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    UINT named = params->cNamedArgs;
    if (put) {
      // As with the real application: a write without its named value argument is refused.
      if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params->cArgs < 1)
        return DISP_E_PARAMNOTFOUND;
    } else if (named != 0) {
      return DISP_E_NONAMEDARGS;
    }
    ServerBridge bridge;
    std::vector<Variant> args;
    std::string why;
    for (UINT i = params->cArgs; i-- > named;) {
      Variant v;
      if (!VariantToValue(params->rgvarg[i], &v, bridge, &why)) {
        if (arg_error) *arg_error = i;
        return DISP_E_TYPEMISMATCH;
      }
      args.push_back(std::move(v));
    }
    Variant value, answer;
    bool ok;
    if (put) {
      if (!VariantToValue(params->rgvarg[0], &value, bridge, &why)) {
        if (arg_error) *arg_error = 0;
        return DISP_E_TYPEMISMATCH;
      }
      ok = target_->Put(name, args, value, &why);
    } else if (flags & DISPATCH_PROPERTYGET) {
      ok = target_->Get(name, args, &answer, &why);
      if (!ok && (flags & DISPATCH_METHOD)) ok = target_->Call(name, args, &answer, &why);
    } else {
      ok = target_->Call(name, args, &answer, &why);
    }
    if (!ok) {
      if (LacksMember(why)) return DISP_E_MEMBERNOTFOUND;
      if (exception) {
        ZeroMemory(exception, sizeof *exception);
        exception->scode = static_cast<SCODE>(0x800A03EC);  // the application's generic failure
        std::wstring source = L"cellsweep stand-in";
        std::wstring description = AnsiToWide(why);
        exception->bstrSource = SysAllocStringLen(source.data(), static_cast<UINT>(source.size()));
        exception->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
      }
      return DISP_E_EXCEPTION;
    }
    if (result) {
      VariantInit(result);
      if (!ValueToVariant(answer, result, bridge, &why)) return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
  }

 private:
  ObjectRef target_;
  bool typed_;
  LONG refs_ = 1;
};

bool ServerBridge::FromDispatch(IDispatch* dispatch, ObjectRef* object, std::string*) {
  void* ours = nullptr;
  if (SUCCEEDED(dispatch->QueryInterface(kServedObjectIid, &ours)) && ours) {
    *object = static_cast<ServedObject*>(ours)->Target();
    return true;
  }
  *object = WrapDispatch(dispatch);
  return true;
}

bool ServerBridge::ToDispatch(const ObjectRef& object, IDispatch** dispatch, std::string*) {
  *dispatch = new ServedObject(object);
  return true;
}

// ---- class factory ----

class Factory : public IClassFactory {
 public:
  explicit Factory(bool application) : application_(application) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ObjectRef target;
    if (application_) {
#ifdef STANDIN_HAS_ENGINE
      target = CreateBuiltinApplication();
#endif
    } else {
      target = CreateStandInTestObject();
    }
    if (!target) return E_FAIL;
    auto* object = new ServedObject(target);
    HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  bool application_;
};

Factory application_factory(true);
Factory test_factory(false);

std::wstring GuidText(const CLSID& clsid) {
  wchar_t text[64] = {};
  StringFromGUID2(clsid, text, 64);
  return text;
}

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

bool RegisterOneClass(const CLSID& clsid, const char* progid, const std::wstring& path) {
  std::wstring guid = GuidText(clsid);
  std::wstring wprogid(progid, progid + std::strlen(progid));
  return SetValue(wprogid + L"\\CLSID", nullptr, guid) &&
         SetValue(L"CLSID\\" + guid, nullptr, L"cellsweep test stand-in") &&
         SetValue(L"CLSID\\" + guid + L"\\ProgID", nullptr, wprogid) &&
         SetValue(L"CLSID\\" + guid + L"\\InprocServer32", nullptr, path) &&
         SetValue(L"CLSID\\" + guid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

void UnregisterOneClass(const CLSID& clsid, const char* progid) {
  std::wstring guid = GuidText(clsid);
  std::wstring wprogid(progid, progid + std::strlen(progid));
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guid).c_str());
  // The ProgID only if it is still ours.
  wchar_t current[64] = {};
  LONG size = sizeof current;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, (wprogid + L"\\CLSID").c_str(), current, &size) == ERROR_SUCCESS &&
      guid == current)
    RegDeleteTreeW(HKEY_CLASSES_ROOT, wprogid.c_str());
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    module_handle = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved) {
    WriteCounts();  // the process is ending: the last chance to report
  }
  return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualCLSID(clsid, kStandInApplicationClsid)) return application_factory.QueryInterface(riid, out);
  if (IsEqualCLSID(clsid, kStandInTestClsid)) return test_factory.QueryInterface(riid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

// Kept loaded for the process's life, so the counts are never lost to an unload.
HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

HRESULT WINAPI StandInRegisterClasses(BOOL application, BOOL test);

HRESULT WINAPI DllRegisterServer() { return StandInRegisterClasses(TRUE, TRUE); }

// Registers the application class, the test class, or both.
HRESULT WINAPI StandInRegisterClasses(BOOL application, BOOL test) {
  wchar_t path[MAX_PATH] = {};
  if (!GetModuleFileNameW(module_handle, path, MAX_PATH)) return SELFREG_E_CLASS;
  bool ok = (!application || RegisterOneClass(kStandInApplicationClsid, kStandInApplicationProgId, path)) &&
            (!test || RegisterOneClass(kStandInTestClsid, kStandInTestProgId, path));
  return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT WINAPI DllUnregisterServer() {
  UnregisterOneClass(kStandInApplicationClsid, kStandInApplicationProgId);
  UnregisterOneClass(kStandInTestClsid, kStandInTestProgId);
  return S_OK;
}

void WINAPI StandInCounts(StandInCountsData* out) {
  if (out) *out = counts;
}

void WINAPI StandInResetCounts() {
  LONG live = counts.live_objects;
  counts = StandInCountsData();
  counts.live_objects = live;
  std::lock_guard<std::mutex> lock(members_mutex);
  member_counts.clear();
}

}  // extern "C"
