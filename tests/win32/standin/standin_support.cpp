#include "tests/win32/standin/standin_support.h"

#include <windows.h>

std::wstring StandInDllPath() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  size_t slash = dir.find_last_of(L"\\/");
  dir = slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
  return dir + L"cellsweep_standin.dll";
}

namespace {

typedef HRESULT(WINAPI* SelfRegister)();

HMODULE LoadStandIn(std::string* why) {
  HMODULE dll = LoadLibraryW(StandInDllPath().c_str());
  if (!dll && why) *why = "cellsweep_standin.dll not found beside the test program";
  return dll;
}

bool RunExport(const char* name, std::string* why) {
  HMODULE dll = LoadStandIn(why);
  if (!dll) return false;
  auto fn = reinterpret_cast<SelfRegister>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  HRESULT hr = fn ? fn() : E_NOTIMPL;
  FreeLibrary(dll);
  if (FAILED(hr) && why) *why = std::string(name) + " failed";
  return SUCCEEDED(hr);
}

}  // namespace

bool RegisterStandIn(bool application, bool test, std::string* why) {
  HMODULE dll = LoadStandIn(why);
  if (!dll) return false;
  auto fn = reinterpret_cast<StandInRegisterClassesFn>(
      reinterpret_cast<void*>(GetProcAddress(dll, "StandInRegisterClasses")));
  HRESULT hr = fn ? fn(application, test) : E_NOTIMPL;
  FreeLibrary(dll);
  if (FAILED(hr) && why) *why = "the stand-in could not register itself (registry not writable?)";
  return SUCCEEDED(hr);
}

void UnregisterStandIn() { RunExport("DllUnregisterServer", nullptr); }

ComPtr<IDispatch> NewStandInTestObject() {
  ComPtr<IDispatch> dispatch;
  HMODULE dll = LoadLibraryW(StandInDllPath().c_str());
  if (!dll) return dispatch;
  typedef HRESULT(WINAPI * GetClassObjectFn)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  if (get && SUCCEEDED(get(kStandInTestClsid, IID_IClassFactory, factory.OutVoid())))
    factory->CreateInstance(nullptr, IID_IDispatch, dispatch.OutVoid());
  return dispatch;
}

StandInCountsData StandInCountsNow() {
  StandInCountsData data = {};
  HMODULE dll = GetModuleHandleW(L"cellsweep_standin.dll");
  if (!dll) return data;
  auto fn = reinterpret_cast<StandInCountsFn>(reinterpret_cast<void*>(GetProcAddress(dll, "StandInCounts")));
  if (fn) fn(&data);
  return data;
}
