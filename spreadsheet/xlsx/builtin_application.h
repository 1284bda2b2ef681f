#pragma once
// The built-in workbook engine's application object: the same members, by
// name, as the spreadsheet application's automation objects the tool uses
// (Workbooks, Sheets, ActiveWindow, Visible, SendKeys, Quit, and below them
// workbooks, sheets, worksheets, chart sheets and ranges). Texts crossing
// this seam are in the tool's text encoding.

#include "spreadsheet/variant.h"

// A new application object of the engine, with no workbook open.
ObjectRef CreateBuiltinApplication();
