#pragma once
// What the fuzz targets do with a package the engine accepted: read every
// cell, edit a few as the batch does (and add cells), build the saved
// package and read that back. Anything the engine accepted must survive this.
#include <cstdlib>
#include <string>

#include "spreadsheet/xlsx/workbook_doc.h"

inline void ExerciseWorkbook(std::string bytes) {
  xlsx::WorkbookDoc doc;
  std::string why;
  if (!doc.OpenBytes(std::move(bytes), "fuzz.xlsx", &why)) return;
  int edits = 0;
  for (const auto& sheet : doc.sheets()) {
    if (sheet->kind() != xlsx::SheetDoc::Kind::Worksheet) continue;
    xlsx::CellRect used = sheet->UsedRange();
    size_t texts = 0;
    sheet->ForEachCell(used, [&](int row, int col, const xlsx::CellValue& v) {
      texts += v.text.size();
      if (edits < 6 && (row + col) % 2 == 0) {
        xlsx::CellRect one{row, col, row, col};
        sheet->SetValue(one, xlsx::CellValue{xlsx::ValueKind::Text, 0, "x<&>_x0041_"}, &why);
        sheet->SetShrink(one, true, &why);
        sheet->SetHorizontal(one, -4108, &why);
        ++edits;
      }
    });
    (void)texts;
    if (used.row2 < xlsx::kMaxRow) {
      xlsx::CellRect below{used.row2 + 1, used.col1, used.row2 + 1, used.col1};
      sheet->SetValue(below, xlsx::CellValue{xlsx::ValueKind::Number, 2.5, ""}, &why);
    }
    xlsx::CellRect a1{1, 1, 1, 1};
    sheet->SetHorizontal(a1, -4131, &why);
    (void)sheet->Value(1, 1);
  }
  std::string out;
  bool changed = false;
  if (!doc.Build(&out, &changed, &why) || !changed) return;
  // What the engine writes it must read again.
  if (!doc.Adopt(std::move(out), &why)) {
    std::fprintf(stderr, "saved package unreadable: %s\n", why.c_str());
    std::abort();
  }
}
