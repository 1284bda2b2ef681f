#pragma once
// How far the batch scans a worksheet: the row and column counts of its used
// range, as the spreadsheet reports them, read by name through the seam.

class ExcelWorkbooks;

// Rows of the used range of sheet (1-based); -1 when it cannot be had (no
// such sheet, no used range, e.g. a chart sheet), 0 when its count cannot be
// read. The workbook's CurrentSheet is the same afterwards.
int CountUsedRows(ExcelWorkbooks& workbook, int sheet);
// The same for the columns.
int CountUsedColumns(ExcelWorkbooks& workbook, int sheet);
