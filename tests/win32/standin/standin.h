#pragma once
// The test stand-in automation server (cellsweep_standin.dll): an in-process
// COM server registered as "Excel.Application" in a test Wine prefix, serving
// the built-in engine's objects through IDispatch with type information.
// Never installed for users.
//
// It counts the calls that would each be a round trip to an out-of-process
// server: IDispatch::GetTypeInfoCount, GetTypeInfo, GetIDsOfNames and Invoke;
// every ITypeInfo call but AddRef/Release and the Release*Desc/ReleaseTypeAttr
// calls (which a proxy answers locally); ITypeComp::Bind and BindType; and
// QueryInterface for an interface other than IUnknown/IDispatch. AddRef and
// Release are not counted (proxies batch them).
//
// With CELLSWEEP_STANDIN_TRIPS set to a file path, the counts since the DLL
// was loaded are written there whenever the last served object is released
// and when the process ends: "name value" lines (see WriteCounts).

#include <windows.h>

// {D82D5DAD-00FD-4818-93F8-0963B8FDC7E2}: served as "Excel.Application".
constexpr CLSID kStandInApplicationClsid = {
    0xd82d5dad, 0x00fd, 0x4818, {0x93, 0xf8, 0x09, 0x63, 0xb8, 0xfd, 0xc7, 0xe2}};
// {76F47B4D-7598-4425-BB21-24C7B56DE985}: "CellSweep.StandInTest", a small
// object for the binding's own tests (see test_object.h).
constexpr CLSID kStandInTestClsid = {
    0x76f47b4d, 0x7598, 0x4425, {0xbb, 0x21, 0x24, 0xc7, 0xb5, 0x6d, 0xe9, 0x85}};

constexpr const char* kStandInApplicationProgId = "Excel.Application";
constexpr const char* kStandInTestProgId = "CellSweep.StandInTest";

struct StandInCountsData {
  LONG round_trips;   // the sum of the kinds below
  LONG invoke;
  LONG get_ids_of_names;
  LONG get_type_info;       // GetTypeInfo and GetTypeInfoCount
  LONG type_info_calls;     // ITypeInfo methods
  LONG type_comp_calls;     // ITypeComp::Bind / BindType
  LONG query_interface;
  LONG live_objects;        // served objects not yet released
};

// Exported; fetched with GetProcAddress by tests.
extern "C" void WINAPI StandInCounts(StandInCountsData* out);
extern "C" void WINAPI StandInResetCounts();
extern "C" HRESULT WINAPI StandInRegisterClasses(BOOL application, BOOL test);
typedef void(WINAPI* StandInCountsFn)(StandInCountsData*);
typedef void(WINAPI* StandInResetCountsFn)();
typedef HRESULT(WINAPI* StandInRegisterClassesFn)(BOOL, BOOL);
