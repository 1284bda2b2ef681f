// A server busy with its own user turns calls away; the binding has them
// retried instead of dropped (through its message filter where the COM runtime
// consults it, by itself where the rejection reaches it, as under Wine). The
// server here lives in another apartment (its own thread), so every call
// crosses through COM's proxies and the server's message filter, as calls to
// the real application do.

#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "spreadsheet/com/com_holders_win32.h"
#include "spreadsheet/com/com_object.h"
#include "spreadsheet/com/dispatch_object_win32.h"
#include "tests/win32/com/ole_environment.h"
#include "tests/win32/standin/standin_support.h"

namespace {

const auto* const ole = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

// The server side's filter: turns the first calls away as a busy application does.
class BusyServerFilter : public IMessageFilter {
 public:
  std::atomic<int> to_reject{0};
  std::atomic<int> rejected{0};

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
      *out = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    if (to_reject > 0) {
      --to_reject;
      ++rejected;
      return SERVERCALL_REJECTED;
    }
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

// The stand-in's test object on a thread of its own.
class ServerThread {
 public:
  ServerThread() {
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_, 20000);
  }
  ~ServerThread() {
    PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
  }
  // A proxy for the object, in the calling apartment.
  ComPtr<IDispatch> Proxy() {
    ComPtr<IDispatch> proxy;
    if (stream_) CoGetInterfaceAndReleaseStream(stream_, IID_IDispatch, proxy.OutVoid());
    stream_ = nullptr;
    return proxy;
  }
  BusyServerFilter filter;

 private:
  void Run() {
    thread_id_ = GetCurrentThreadId();
    OleInitialize(nullptr);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, for WM_QUIT
    IMessageFilter* old = nullptr;
    CoRegisterMessageFilter(&filter, &old);
    {
      ComPtr<IDispatch> object = NewStandInTestObject();
      if (object) CoMarshalInterThreadInterfaceInStream(IID_IDispatch, object.Get(), &stream_);
      SetEvent(ready_);
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    CoRegisterMessageFilter(old, nullptr);
    OleUninitialize();
  }

  std::thread thread_;
  DWORD thread_id_ = 0;
  HANDLE ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  IStream* stream_ = nullptr;
};

TEST(ComBusyServer, RejectedCallsAreRetriedNotDropped) {
  ServerThread server;
  ComPtr<IDispatch> proxy = server.Proxy();
  ASSERT_TRUE(proxy) << "the object could not be marshalled to this apartment";
  InstallBusyRetryFilter();
  ObjectRef object = WrapDispatch(proxy.Get());
  std::string why;
  ASSERT_TRUE(object->Put("Stored", {}, Variant::MakeInteger(5), &why)) << why;

  server.filter.to_reject = 3;
  Variant v;
  ASSERT_TRUE(object->Get("Stored", {}, &v, &why)) << why;
  EXPECT_EQ(v.integer, 5);
  EXPECT_EQ(server.filter.rejected, 3) << "the server turned the call away three times first";

  // A write turned away is made once it is taken, not lost.
  server.filter.to_reject = 2;
  ASSERT_TRUE(object->Put("Stored", {}, Variant::MakeInteger(6), &why)) << why;
  ASSERT_TRUE(object->Get("Stored", {}, &v, &why)) << why;
  EXPECT_EQ(v.integer, 6);
  EXPECT_EQ(server.filter.rejected, 5);
  object.reset();
  proxy.Reset();
}

}  // namespace
