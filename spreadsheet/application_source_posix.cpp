#include "spreadsheet/application_source_platform.h"

ObjectRef CreateAutomationApplication(std::string* why) {
  if (why != nullptr) *why = "no spreadsheet application can be driven by automation on this system";
  return ObjectRef();
}
