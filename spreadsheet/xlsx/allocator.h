#pragma once
// The engine allocates and frees tens of megabytes for every workbook (the
// package, its inflated parts, the cell index, the values handed out). Some
// C libraries hand freed memory back to the system at once and take it again
// for the next workbook, page by page; that costs more than the work itself.

namespace xlsx {

// Asks the C library to keep freed memory for reuse. Called once, when the
// first application object is made; harmless where there is nothing to tune.
void KeepFreedMemory();

}  // namespace xlsx
