// A server busy with its own user (a dialog open, a cell being edited) turns
// calls away; the default is to fail them at once, which would silently skip
// cells. This filter has COM retry them for a while instead.

#include <windows.h>
#include <objbase.h>

#include "spreadsheet/com/busy_retry_win32.h"
#include "spreadsheet/com/com_object.h"

namespace {

class BusyRetryFilter : public IMessageFilter {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
      *out = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // One static instance for the process: no counting needed.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed_ms, DWORD reject_type) override {
    if (reject_type == SERVERCALL_RETRYLATER || reject_type == SERVERCALL_REJECTED) return BusyRetryDelay(elapsed_ms);
    return kBusyGiveUp;  // the call fails with its error
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

BusyRetryFilter filter;
thread_local bool installed = false;

}  // namespace

void InstallBusyRetryFilter() {
  if (installed) return;
  IMessageFilter* previous = nullptr;
  // Fails outside a single-threaded apartment, where no filter applies; try again later then.
  if (SUCCEEDED(CoRegisterMessageFilter(&filter, &previous))) {
    installed = true;
    if (previous && previous != &filter) previous->Release();
  }
}

void WaitWhileServerBusy(DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
    DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_PAINT);
  }
}
