// libFuzzer target: the input is a whole package (zip container and parts).
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fuzz/exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ExerciseWorkbook(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
