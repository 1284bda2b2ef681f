#include "replace/used_range.h"

#include <string>

#include "spreadsheet/excel_component.h"
#include "text/text.h"

namespace {

ObjectRef ReadObject(const ObjectRef& from, const char* name) {
  Variant v;
  if (!from || !from->Get(name, {}, &v, nullptr)) return ObjectRef();
  return v.kind == VariantKind::Object ? v.object : ObjectRef();
}

int CountUsed(ExcelWorkbooks& workbook, int sheet_number, const char* member) {
  int remembered = workbook.CurrentSheet();
  workbook.SetCurrentSheet(sheet_number);
  int result = -1;
  ObjectRef sheet = workbook.GetCurrentSheet();
  ObjectRef used = ReadObject(sheet, "UsedRange");
  ObjectRef lines = ReadObject(used, member);
  if (lines) {
    Variant count;
    double d = 0;
    result = lines->Get("Count", {}, &count, nullptr) && VariantToReal(count, &d) ? RealToInteger(d) : 0;
  }
  workbook.SetCurrentSheet(remembered);
  return result;
}

}  // namespace

int CountUsedRows(ExcelWorkbooks& workbook, int sheet) { return CountUsed(workbook, sheet, "Rows"); }
int CountUsedColumns(ExcelWorkbooks& workbook, int sheet) { return CountUsed(workbook, sheet, "Columns"); }
