#include "spreadsheet/application_source.h"

#include "spreadsheet/application_source_platform.h"

#if CELLSWEEP_HAVE_ENGINE
#include "spreadsheet/xlsx/builtin_application.h"
#endif

namespace {
EngineChoice choice = EngineChoice::Auto;

ObjectRef Engine(std::string* why) {
#if CELLSWEEP_HAVE_ENGINE
  ObjectRef app = CreateBuiltinApplication();
  if (!app && why != nullptr) *why = "the built-in workbook engine could not be started";
  return app;
#else
  if (why != nullptr) *why = "this build has no built-in workbook engine";
  return ObjectRef();
#endif
}
}  // namespace

void SetEngineChoice(EngineChoice c) { choice = c; }
EngineChoice GetEngineChoice() { return choice; }

ObjectRef CreateSpreadsheetApplication(std::string* why, bool* builtin) {
  if (builtin != nullptr) *builtin = false;
  std::string automation_why;
  if (choice != EngineChoice::Builtin) {
    ObjectRef app = CreateAutomationApplication(&automation_why);
    if (app || choice == EngineChoice::Excel) {
      if (!app && why != nullptr) *why = automation_why;
      return app;
    }
  }
  std::string engine_why;
  ObjectRef app = Engine(&engine_why);
  if (app) {
    if (builtin != nullptr) *builtin = true;
    return app;
  }
  if (why != nullptr) *why = automation_why.empty() ? engine_why : automation_why + "; " + engine_why;
  return ObjectRef();
}
