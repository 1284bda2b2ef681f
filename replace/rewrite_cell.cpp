#include "replace/rewrite_cell.h"

#include "spreadsheet/excel_component.h"

namespace {
constexpr int kCentre = -4108;  // the spreadsheet's xlCenter
}

void RewriteCell(const std::string& start, const std::string& end, int sheet, const std::string& text) {
  Excel工作簿1.SetCurrentSheet(sheet);
  Excel工作簿1.SetRangeStart(start);
  Excel工作簿1.SetRangeEnd(end);
  Excel工作簿1.SetContent(text);
  Excel工作簿1.SetShrinkToFit(true);
  Excel工作簿1.SetHorizontalAlignment(kCentre);
}
