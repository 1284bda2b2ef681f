#pragma once
// The spreadsheet application of the system, reached by automation: on
// Windows the server registered as "Excel.Application"; elsewhere there is
// none.

#include <string>

#include "spreadsheet/variant.h"

ObjectRef CreateAutomationApplication(std::string* why);
