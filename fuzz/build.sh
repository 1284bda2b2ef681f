#!/bin/bash
# Builds the engine's libFuzzer targets with clang (not part of the default build).
#   fuzz/build.sh [OUTDIR]        default OUTDIR: build/fuzz
# Then, for example:
#   build/fuzz/fuzz_package -max_total_time=600 -rss_limit_mb=2048 build/fuzz/corpus-package
#   build/fuzz/fuzz_parts   -max_total_time=600 -rss_limit_mb=2048 build/fuzz/corpus-parts
# fuzz/seed.sh fills those corpus folders from the test fixtures.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/fuzz}
if ! command -v clang++ >/dev/null; then
  echo "fuzz/build.sh: needs clang with libFuzzer (Debian: apt-get install clang libclang-rt-14-dev)" >&2
  exit 1
fi
mkdir -p "$out"
srcs=(spreadsheet/xlsx/zip.cpp spreadsheet/xlsx/xml.cpp spreadsheet/xlsx/cell_ref.cpp
      spreadsheet/xlsx/formula.cpp spreadsheet/xlsx/workbook_doc.cpp spreadsheet/xlsx/file_io_posix.cpp
      text/utf8.cpp)
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I.)
for t in fuzz_package fuzz_parts; do
  clang++ "${flags[@]}" "fuzz/$t.cpp" "${srcs[@]}" -lz -o "$out/$t"
done
echo "built $out/fuzz_package $out/fuzz_parts"
