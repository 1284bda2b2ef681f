#include "spreadsheet/application_source_platform.h"

#if CELLSWEEP_HAVE_COM
#include "spreadsheet/com/com_object.h"
#endif

ObjectRef CreateAutomationApplication(std::string* why) {
#if CELLSWEEP_HAVE_COM
  return CreateAutomationObject("Excel.Application", why);
#else
  if (why != nullptr) *why = "this build cannot reach a spreadsheet application by automation";
  return ObjectRef();
#endif
}
