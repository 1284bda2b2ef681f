#pragma once
// For test programs: register the stand-in server (cellsweep_standin.dll, found
// beside the running program) in the current Wine prefix, and remove it again.

#include <string>

#include "spreadsheet/com/com_holders_win32.h"
#include "tests/win32/standin/standin.h"

std::wstring StandInDllPath();
// Registers the stand-in's classes: "Excel.Application" when application is
// true, "CellSweep.StandInTest" when test is; false with the reason.
bool RegisterStandIn(bool application, bool test, std::string* why);
// Removes whatever the stand-in registered (safe when nothing is).
void UnregisterStandIn();
// A new instance of the stand-in's test object, made through its class factory
// (no registry involved), in the calling apartment; empty if it cannot be made.
ComPtr<IDispatch> NewStandInTestObject();
// The counts of the stand-in loaded in this process (zeros if it is not loaded).
StandInCountsData StandInCountsNow();

// Registered for its lifetime.
class ScopedStandInRegistration {
 public:
  ScopedStandInRegistration(bool application, bool test) { ok_ = RegisterStandIn(application, test, &why_); }
  ~ScopedStandInRegistration() { UnregisterStandIn(); }
  bool ok() const { return ok_; }
  const std::string& why() const { return why_; }

 private:
  bool ok_ = false;
  std::string why_;
};
