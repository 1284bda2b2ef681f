#!/bin/bash
# Builds cellsweep-cli (and the engine-alone program where there is one) in the Linux
# build and runs the end-to-end benchmark against openpyxl. Arguments go to cli_bench.py.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(--target cellsweep-cli)
[ -f bench/engine/CMakeLists.txt ] && targets+=(--target bench_engine)
cmake --build build/linux "${targets[@]}" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
exec /usr/bin/python3 bench/cli/cli_bench.py --build build/linux "$@"
