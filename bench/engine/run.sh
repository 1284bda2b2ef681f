#!/bin/bash
# Benchmark of the built-in engine against openpyxl on the same job, with the
# floor of just unzipping and re-zipping the files (prints figures; not a test).
#   bench/engine/run.sh [BUILD_DIR] [CORPUS_DIR]
# BUILD_DIR: a Linux build with the bench_engine target (default build/linux);
# CORPUS_DIR: made by bench/make_corpus.py when missing (default build/bench-corpus).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/linux}
corpus=${2:-build/bench-corpus}
search=abc
level=3  # the level the engine compresses rewritten parts at (WorkbookDoc::compression_level)
replacement=替换
py=/usr/bin/python3
cmake --build "$build" --target bench_engine -j2 >/dev/null
[ -d "$corpus" ] || $py bench/make_corpus.py "$corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for d in engine openpyxl floor; do mkdir -p "$work/$d"; cp "$corpus"/*.xlsx "$work/$d/"; done

# Wall seconds and peak kilobytes of a command, from GNU time.
measure() {
  local log=$work/time.log
  /usr/bin/time -v "$@" >"$work/out.txt" 2>"$log" || { echo "failed: $*" >&2; grep -v "^\s" "$log" >&2; }
  local wall rss cpu
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$log")
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log" |
         awk -F: '{ if (NF==3) print $1*3600+$2*60+$3; else print $1*60+$2 }')
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
  echo "$wall $rss $cpu"
}

read -r e_wall e_rss e_cpu < <(measure "$build/bin/bench_engine" "$search" "$replacement" "$work"/engine/*.xlsx)
e_cells=$(cat "$work/out.txt")
read -r o_wall o_rss o_cpu < <(measure $py bench/openpyxl_job.py "$work/openpyxl" "$search" "$replacement")
o_cells=$(cat "$work/out.txt")
read -r f_wall f_rss f_cpu < <(measure $py - "$work/floor" "$level" <<'PY'
import os, sys, zipfile
folder, level = sys.argv[1], int(sys.argv[2])
for name in sorted(os.listdir(folder)):
    path = os.path.join(folder, name)
    with zipfile.ZipFile(path) as z:
        parts = [(i, z.read(i.filename)) for i in z.infolist()]
    with zipfile.ZipFile(path + ".tmp", "w", zipfile.ZIP_DEFLATED, compresslevel=level) as z:
        for info, data in parts:
            z.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=level)
    os.replace(path + ".tmp", path)
PY
)

# Both results must hold the same cell values.
same=0
$py - "$work/engine" "$work/openpyxl" <<'PY' || same=$?
import os, sys
import openpyxl
a, b = sys.argv[1:3]
diff = 0
for name in sorted(os.listdir(a)):
    wa = openpyxl.load_workbook(os.path.join(a, name), read_only=True)
    wb = openpyxl.load_workbook(os.path.join(b, name), read_only=True)
    for sa, sb in zip(wa.worksheets, wb.worksheets):
        for ra, rb in zip(sa.iter_rows(values_only=True), sb.iter_rows(values_only=True)):
            if ra != rb:
                diff += 1
print("same cell values in both results" if diff == 0 else "DIFFERENT cell values in %d rows" % diff)
sys.exit(1 if diff else 0)
PY

files=$(ls "$corpus"/*.xlsx | wc -l)
awk -v ew="$e_wall" -v er="$e_rss" -v ow="$o_wall" -v orr="$o_rss" -v fw="$f_wall" -v fr="$f_rss" \
    -v level="$level" -v ec="$e_cpu" -v oc2="$o_cpu" -v fc="$f_cpu" -v ecl="$e_cells" -v oc="$o_cells" -v n="$files" 'BEGIN {
  printf "files: %d, cells changed: engine %s, openpyxl %s\n", n, ecl, oc
  printf "%-22s %10s %10s %12s\n", "", "wall s", "cpu s", "peak MB"
  printf "%-22s %10.2f %10.2f %12.1f\n", "engine", ew, ec, er / 1024
  printf "%-22s %10.2f %10.2f %12.1f\n", "openpyxl", ow, oc2, orr / 1024
  printf "%-22s %10.2f %10.2f %12.1f\n", "unzip+re-zip level " level, fw, fc, fr / 1024
  printf "openpyxl / engine: %.1fx faster (wall), %.1fx (cpu); %.1fx less peak memory\n", ow / ew, oc2 / ec, orr / er
  printf "engine / floor: %.2fx (wall), %.2fx (cpu)\n", ew / fw, ec / fc
  printf "(cpu = user + system time: the fairer figure on a busy machine)\n"
}'
exit "$same"
