// Late binding by name over IDispatch: names are resolved through the
// object's type information (ITypeComp::Bind), with GetIDsOfNames as the
// fallback, and remembered per type, since against an out-of-process server
// every resolution is a round trip.

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/com/busy_retry_win32.h"
#include "spreadsheet/com/com_holders_win32.h"
#include "spreadsheet/com/com_object.h"
#include "spreadsheet/com/com_variant_win32.h"
#include "spreadsheet/com/dispatch_object_win32.h"

namespace {

constexpr DISPID kNoSuchName = DISPID_UNKNOWN;

// What one interface (one ITypeInfo) maps names to.
struct TypeEntry {
  ComPtr<ITypeInfo> info;  // held, so the pointer stays a unique key
  ComPtr<ITypeComp> comp;
  bool comp_tried = false;
  std::map<std::string, DISPID> ids;  // by lower-case name; kNoSuchName when the name is unknown
};

// The name caches of the objects reached from one created object. It lives as
// long as any of them, so the type information it holds is released with the
// last object, before the server goes away.
struct Session {
  std::vector<std::unique_ptr<TypeEntry>> types;
  std::map<ITypeInfo*, TypeEntry*> by_info;
  // The type of the objects a member returned before: the application's object
  // model gives one interface per member, so later objects from the same member
  // need not be asked for their type again.
  std::map<std::pair<TypeEntry*, std::string>, TypeEntry*> returned_type;

  TypeEntry* NewType(ComPtr<ITypeInfo> info) {
    types.push_back(std::make_unique<TypeEntry>());
    TypeEntry* t = types.back().get();
    t->info = std::move(info);
    if (t->info) by_info[t->info.Get()] = t;
    return t;
  }
};

std::string Lower(const std::string& s) {
  std::string r = s;
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

std::wstring AsciiWide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Members whose objects differ in type from call to call (a sheet may be a
// worksheet or a chart): their objects are always asked for their own type.
bool ReturnsVariousTypes(const std::string& lower_name, bool with_args) {
  static const char* const always[] = {"item", "_default", "activesheet", "activechart", "parent", "selection"};
  for (const char* n : always) {
    if (lower_name == n) return true;
  }
  if (with_args) {
    static const char* const indexed[] = {"sheets", "worksheets", "charts", "workbooks", "windows"};
    for (const char* n : indexed) {
      if (lower_name == n) return true;
    }
  }
  return false;
}

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

enum class Access { Get, Put, Call };

class DispatchObject : public LateBound {
 public:
  DispatchObject(std::shared_ptr<Session> session, ComPtr<IDispatch> dispatch, TypeEntry* parent_type,
                 std::string via)
      : session_(std::move(session)), dispatch_(std::move(dispatch)), parent_type_(parent_type), via_(std::move(via)) {}

  bool Get(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    return Invoke(Access::Get, name, args, nullptr, result, why);
  }
  bool Put(const std::string& name, const std::vector<Variant>& args, const Variant& value,
           std::string* why) override {
    return Invoke(Access::Put, name, args, &value, nullptr, why);
  }
  bool Call(const std::string& name, const std::vector<Variant>& args, Variant* result, std::string* why) override {
    return Invoke(Access::Call, name, args, nullptr, result, why);
  }

  IDispatch* Dispatch() const { return dispatch_.Get(); }

 private:
  // Objects crossing this call: results become objects of the same session.
  class Bridge : public DispatchBridge {
   public:
    Bridge(DispatchObject* owner, std::string via) : owner_(owner), via_(std::move(via)) {}
    bool FromDispatch(IDispatch* dispatch, ObjectRef* object, std::string*) override {
      *object = std::make_shared<DispatchObject>(owner_->session_, ComPtr<IDispatch>::Share(dispatch), owner_->type_,
                                                 via_);
      return true;
    }
    bool ToDispatch(const ObjectRef& object, IDispatch** dispatch, std::string* why) override {
      IDispatch* d = DispatchOf(object);
      if (!d) return Fail(why, "an object of another kind cannot be passed to an automation server");
      d->AddRef();
      *dispatch = d;
      return true;
    }

   private:
    DispatchObject* owner_;
    std::string via_;
  };

  // Asks the object itself for its type.
  void LearnOwnType() {
    ComPtr<ITypeInfo> info;
    HRESULT hr = RetryWhileServerBusy([&] { return dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out()); });
    if (SUCCEEDED(hr) && info) {
      auto it = session_->by_info.find(info.Get());
      type_ = it != session_->by_info.end() ? it->second : session_->NewType(std::move(info));
    } else {
      // No type information: names go through GetIDsOfNames, remembered all the same.
      type_ = session_->NewType(ComPtr<ITypeInfo>());
    }
    inherited_ = false;
  }

  void EnsureType() {
    if (type_) return;
    bool share = parent_type_ && !via_.empty();
    if (share) {
      auto it = session_->returned_type.find({parent_type_, via_});
      if (it != session_->returned_type.end()) {
        type_ = it->second;
        inherited_ = true;
        return;
      }
    }
    LearnOwnType();
    if (share) session_->returned_type[{parent_type_, via_}] = type_;
  }

  DISPID BindThroughTypeInfo(TypeEntry* type, std::wstring& wname) {
    if (!type->info) return kNoSuchName;
    if (!type->comp_tried) {
      type->comp_tried = true;
      if (FAILED(RetryWhileServerBusy([&] { return type->info->GetTypeComp(type->comp.Out()); }))) type->comp.Reset();
    }
    if (!type->comp) return kNoSuchName;
    ULONG hash = LHashValOfNameSys(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, LOCALE_USER_DEFAULT, wname.c_str());
    // A property read first, then a method; then the write-only kinds.
    static const WORD kinds[] = {INVOKE_PROPERTYGET, INVOKE_FUNC, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF};
    for (WORD kind : kinds) {
      ComPtr<ITypeInfo> bound;
      DESCKIND desc = DESCKIND_NONE;
      BINDPTR ptr;
      ptr.lpfuncdesc = nullptr;
      HRESULT hr = RetryWhileServerBusy(
          [&] { return type->comp->Bind(&wname[0], hash, kind, bound.Out(), &desc, &ptr); });
      if (FAILED(hr)) continue;  // TYPE_E_TYPEMISMATCH: the name is there with another kind
      switch (desc) {
        case DESCKIND_FUNCDESC: {
          DISPID id = ptr.lpfuncdesc->memid;
          if (bound) bound->ReleaseFuncDesc(ptr.lpfuncdesc);
          return id;
        }
        case DESCKIND_VARDESC:
        case DESCKIND_IMPLICITAPPOBJ: {
          DISPID id = ptr.lpvardesc->memid;
          if (bound) bound->ReleaseVarDesc(ptr.lpvardesc);
          return id;
        }
        case DESCKIND_TYPECOMP:
          if (ptr.lptcomp) ptr.lptcomp->Release();
          return kNoSuchName;
        default:
          return kNoSuchName;  // DESCKIND_NONE: not a member of this type
      }
    }
    return kNoSuchName;
  }

  bool Resolve(const std::string& name, DISPID* id, std::string* why) {
    EnsureType();
    std::string key = Lower(name);
    auto it = type_->ids.find(key);
    if (it == type_->ids.end()) {
      std::wstring wname = AsciiWide(name);
      DISPID found = BindThroughTypeInfo(type_, wname);
      if (found == kNoSuchName) {
        LPOLESTR names[1] = {&wname[0]};
        DISPID fallback = kNoSuchName;
        HRESULT hr = RetryWhileServerBusy(
            [&] { return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &fallback); });
        if (SUCCEEDED(hr)) {
          found = fallback;
        } else if (hr != DISP_E_UNKNOWNNAME && hr != DISP_E_MEMBERNOTFOUND) {
          // Not an answer about the name (the server is gone, say): nothing to remember.
          return Fail(why, "'" + name + "' could not be looked up: " + HResultText(hr));
        }
      }
      it = type_->ids.emplace(key, found).first;
    }
    if (it->second == kNoSuchName) return Fail(why, "'" + name + "': the object has no member of that name");
    *id = it->second;
    return true;
  }

  static std::string ExceptionText(EXCEPINFO& ex, HRESULT hr) {
    if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
    std::string description = ex.bstrDescription ? WideToAnsi(ex.bstrDescription, SysStringLen(ex.bstrDescription)) : "";
    std::string source = ex.bstrSource ? WideToAnsi(ex.bstrSource, SysStringLen(ex.bstrSource)) : "";
    HRESULT code = ex.scode ? ex.scode : (ex.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, ex.wCode) : hr);
    if (ex.bstrDescription) SysFreeString(ex.bstrDescription);
    if (ex.bstrSource) SysFreeString(ex.bstrSource);
    if (ex.bstrHelpFile) SysFreeString(ex.bstrHelpFile);
    ex.bstrDescription = ex.bstrSource = ex.bstrHelpFile = nullptr;
    std::string text = description.empty() ? "the server raised an error" : description;
    if (!source.empty()) text += " [" + source + "]";
    return text + " (" + HResultText(code) + ")";
  }

  bool Invoke(Access access, const std::string& name, const std::vector<Variant>& args, const Variant* value,
              Variant* result, std::string* why) {
    if (!dispatch_) return Fail(why, "'" + name + "': no object");
    DISPID id = 0;
    if (!Resolve(name, &id, why)) return false;

    std::string via = Lower(name);
    if (ReturnsVariousTypes(via, !args.empty())) via.clear();
    Bridge bridge(this, via);

    // Arguments go last to first; a written value comes first, named DISPID_PROPERTYPUT.
    size_t count = args.size() + (value ? 1 : 0);
    std::vector<VariantHolder> holders(count);
    std::vector<VARIANT> raw(count);
    size_t slot = 0;
    std::string conversion_why;
    if (value) {
      if (!ValueToVariant(*value, holders[slot++].Get(), bridge, &conversion_why))
        return Fail(why, "'" + name + "': the value cannot be sent: " + conversion_why);
    }
    for (size_t i = args.size(); i-- > 0;) {
      if (!ValueToVariant(args[i], holders[slot++].Get(), bridge, &conversion_why))
        return Fail(why, "'" + name + "': argument " + std::to_string(i + 1) + " cannot be sent: " + conversion_why);
    }
    for (size_t i = 0; i < count; ++i) raw[i] = *holders[i].Get();  // shallow: the holders still own
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params;
    params.rgvarg = count ? raw.data() : nullptr;
    params.cArgs = static_cast<UINT>(count);
    params.rgdispidNamedArgs = value ? &named : nullptr;
    params.cNamedArgs = value ? 1 : 0;
    WORD flags = access == Access::Get ? DISPATCH_PROPERTYGET : access == Access::Put ? DISPATCH_PROPERTYPUT
                                                                                       : DISPATCH_METHOD;
    VariantHolder out;
    EXCEPINFO ex;
    UINT arg_error = 0;
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 2; ++attempt) {
      ZeroMemory(&ex, sizeof ex);
      // A call turned away was never run, so sending it again is safe.
      hr = RetryWhileServerBusy([&] {
        return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 access == Access::Put ? nullptr : out.Out(), &ex, &arg_error);
      });
      // A type taken over from sibling objects may not be this object's: ask it, once.
      if (hr != DISP_E_MEMBERNOTFOUND || !inherited_) break;
      TypeEntry* before = type_;
      LearnOwnType();
      if (type_ == before || !Resolve(name, &id, why)) break;
    }
    if (FAILED(hr)) {
      std::string text;
      if (hr == DISP_E_EXCEPTION) {
        text = ExceptionText(ex, hr);
      } else {
        text = HResultText(hr);
        if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && arg_error < count) {
          size_t from_first = count - 1 - arg_error;  // position counting from the first argument
          text += value && arg_error == 0 ? " in the value written" : " in argument " + std::to_string(from_first + 1);
        }
      }
      return Fail(why, "'" + name + "' failed: " + text);
    }
    if (result) {
      std::string convert_why;
      if (!VariantToValue(*out.Get(), result, bridge, &convert_why))
        return Fail(why, "'" + name + "': the result cannot be read: " + convert_why);
    }
    return true;
  }

  // Declared first so it is destroyed last, after the interface below.
  std::shared_ptr<Session> session_;
  ComPtr<IDispatch> dispatch_;
  TypeEntry* parent_type_;
  std::string via_;
  TypeEntry* type_ = nullptr;
  bool inherited_ = false;
};

}  // namespace

ObjectRef WrapDispatch(IDispatch* dispatch) {
  if (!dispatch) return nullptr;
  return std::make_shared<DispatchObject>(std::make_shared<Session>(), ComPtr<IDispatch>::Share(dispatch), nullptr,
                                          std::string());
}

IDispatch* DispatchOf(const ObjectRef& object) {
  auto* d = dynamic_cast<DispatchObject*>(object.get());
  return d ? d->Dispatch() : nullptr;
}

ObjectRef CreateAutomationObject(const std::string& progid, std::string* why) {
  std::wstring wide = AnsiToWide(progid);
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(wide.c_str(), &clsid);
  if (FAILED(hr)) {
    Fail(why, "\"" + progid + "\" is not available: " + HResultText(hr));
    return nullptr;
  }
  ComPtr<IDispatch> dispatch;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, dispatch.OutVoid());
  if (hr == CO_E_NOTINITIALIZED) {
    // A caller that never initialised OLE (a console run): the thread becomes
    // the single-threaded apartment the automation calls need, for the process's life.
    OleInitialize(nullptr);
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, dispatch.OutVoid());
  }
  if (FAILED(hr) || !dispatch) {
    Fail(why, "\"" + progid + "\" could not be started: " + HResultText(FAILED(hr) ? hr : E_NOINTERFACE));
    return nullptr;
  }
  InstallBusyRetryFilter();
  return WrapDispatch(dispatch.Get());
}
