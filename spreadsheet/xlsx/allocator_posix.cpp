#include "spreadsheet/xlsx/allocator.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace xlsx {

void KeepFreedMemory() {
#if defined(__GLIBC__)
  // Up to 64 MiB of free heap stays with the process, and blocks up to 32 MiB
  // come from the heap instead of fresh mappings (both are returned at once
  // by default once they have been used).
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

}  // namespace xlsx
