#pragma once
// Where a new spreadsheet application object comes from.

#include <string>

#include "spreadsheet/variant.h"

enum class EngineChoice {
  Auto,     // the automation server "Excel.Application" where one can be created, else the built-in engine
  Builtin,  // the built-in workbook engine only
  Excel,    // the automation server only (Windows); no fallback
};

void SetEngineChoice(EngineChoice choice);
EngineChoice GetEngineChoice();

// A new application object, or an empty reference with the reason in *why.
// *builtin, when not null, tells whether the built-in engine served it.
ObjectRef CreateSpreadsheetApplication(std::string* why, bool* builtin);
