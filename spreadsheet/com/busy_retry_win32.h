#pragma once
// How long a call a busy server turned away is retried. The message filter
// applies it inside COM; the binding applies it again to rejections that
// reach it anyway (where the COM runtime retries nothing, as under Wine).

#include <windows.h>
#include <objbase.h>

constexpr DWORD kBusyRetryEveryMs = 100;
constexpr DWORD kBusyGiveUpAfterMs = 60000;
constexpr DWORD kBusyGiveUp = static_cast<DWORD>(-1);

// The wait before the next attempt, or kBusyGiveUp.
inline DWORD BusyRetryDelay(DWORD elapsed_ms) {
  return elapsed_ms < kBusyGiveUpAfterMs ? kBusyRetryEveryMs : kBusyGiveUp;
}

inline bool IsBusyRejection(HRESULT hr) { return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER; }

// Waits, keeping the thread's windows painted; input waits for the call to end.
void WaitWhileServerBusy(DWORD ms);

// Makes call() until it is not turned away by a busy server or the time is up.
template <typename Call>
HRESULT RetryWhileServerBusy(Call call) {
  DWORD start = GetTickCount();
  for (;;) {
    HRESULT hr = call();
    if (!IsBusyRejection(hr)) return hr;
    DWORD delay = BusyRetryDelay(GetTickCount() - start);
    if (delay == kBusyGiveUp) return hr;
    WaitWhileServerBusy(delay);
  }
}
