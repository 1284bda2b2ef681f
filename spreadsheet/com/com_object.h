#pragma once
// Automation objects of another program (the spreadsheet application) reached
// through IDispatch, as LateBound objects. Windows only.

#include <string>

#include "spreadsheet/late_bound.h"
#include "spreadsheet/variant.h"

// Creates the automation server registered under progid ("Excel.Application")
// and returns its object, or an empty reference with the reason in *why.
// Call on the thread that initialised OLE; every object it returns must be
// used and released on that thread.
ObjectRef CreateAutomationObject(const std::string& progid, std::string* why);

// Registers, once per thread, the message filter that retries calls a busy
// server turns away (every 100 ms, for up to a minute) instead of dropping
// them. CreateAutomationObject calls it; start-up may call it earlier.
void InstallBusyRetryFilter();
