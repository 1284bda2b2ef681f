#include <cstdio>
#include <cstdlib>

#include "app/fatal.h"
#include "text/encoding.h"

void FatalError(const std::string& message) {
  std::fprintf(stderr, "cellsweep: %s\n", ToUtf8(message).c_str());
  std::fflush(stderr);
  // Straight out: the exit routine and static destructors do not run.
  std::_Exit(-1);
}
