#include <windows.h>

#include "tests/collect/tree.h"

void MakeHidden(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}
