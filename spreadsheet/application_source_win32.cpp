#include "spreadsheet/application_source_platform.h"

#include "spreadsheet/com/com_object.h"

ObjectRef CreateAutomationApplication(std::string* why) { return CreateAutomationObject("Excel.Application", why); }
