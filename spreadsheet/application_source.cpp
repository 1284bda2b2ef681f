#include "spreadsheet/application_source.h"

#include "spreadsheet/application_source_platform.h"

#include "spreadsheet/xlsx/builtin_application.h"

namespace {
EngineChoice choice = EngineChoice::Auto;

ObjectRef Engine(std::string* why) {
  ObjectRef app = CreateBuiltinApplication();
  if (!app && why != nullptr) *why = "the built-in workbook engine could not be started";
  return app;
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
