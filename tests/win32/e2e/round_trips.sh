#!/bin/bash
# Prints the round trips the batch makes to the spreadsheet application, as
# counted by the stand-in server: one sheet of 2,000 rows x 20 columns with 1%
# of its cells matching, run through cellsweep-cli.exe --engine excel under Wine.
# Figures per row, per visited cell and per matching cell come from differences
# between runs on sheets of other sizes, so the fixed cost of opening, saving
# and closing a workbook does not blur them.
#   tests/win32/e2e/round_trips.sh [WINDOWS_BUILD_DIR]   (default build/windows; built already)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
bin=$build/bin
for f in cellsweep-cli.exe cellsweep_standin.dll; do
  [ -e "$bin/$f" ] || { echo "missing $bin/$f: build the Windows build first" >&2; exit 2; }
done
# shellcheck source=../../../scripts/wine-env
source "$root/scripts/wine-env" "$build"
cellsweep_wine_up || true  # a server already running for this prefix is fine
work=$WINEPREFIX/drive_c/cellsweep-round-trips
cleanup() {
  wine regsvr32 /u /s 'C:\cellsweep-round-trips\cellsweep_standin.dll' >/dev/null 2>&1 || true
  rm -rf "$work"
  cellsweep_wine_down
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"
# The server is registered from a copy, in this prefix only, and removed at the end.
cp "$bin/cellsweep_standin.dll" "$work/"
wine regsvr32 /s 'C:\cellsweep-round-trips\cellsweep_standin.dll'

/usr/bin/python3 - "$work" <<'PY'
import os, sys
import openpyxl
work = sys.argv[1]
def book(name, rows, cols, every):
    os.makedirs(os.path.join(work, name))
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("Sheet1")
    n = 0
    for r in range(1, rows + 1):
        row = []
        for c in range(1, cols + 1):
            n += 1
            if every and n % every == 0:
                row.append("has needle %d" % n)
            elif c % 2:
                row.append("text %d-%d" % (r, c))
            else:
                row.append(r * 100 + c)
        ws.append(row)
    wb.save(os.path.join(work, name, "book.xlsx"))
book("match1pct", 2000, 20, 100)   # 400 matching cells
book("rows2000", 2000, 20, 0)
book("rows1000", 1000, 20, 0)
book("cols10", 2000, 10, 0)
PY

declare -A trips
for name in match1pct rows2000 rows1000 cols10; do
  rm -f "$work/trips-$name.txt"
  CELLSWEEP_STANDIN_TRIPS="C:\\cellsweep-round-trips\\trips-$name.txt" \
    wine "$bin/cellsweep-cli.exe" --folder "C:\\cellsweep-round-trips\\$name" --find needle --replace done \
    --engine excel --quiet >/dev/null
  [ -s "$work/trips-$name.txt" ] || { echo "no counts from the stand-in for $name" >&2; exit 1; }
  trips[$name]=$(sed -n 's/^round_trips //p' "$work/trips-$name.txt")
done

echo "Round trips counted by the stand-in (IDispatch, ITypeInfo and ITypeComp calls):"
printf '  %-34s %8s\n' "2000 x 20, 400 matching cells" "${trips[match1pct]}" \
  "2000 x 20, no match" "${trips[rows2000]}" "1000 x 20, no match" "${trips[rows1000]}" \
  "2000 x 10, no match" "${trips[cols10]}"
awk -v m="${trips[match1pct]}" -v a="${trips[rows2000]}" -v h="${trips[rows1000]}" -v c="${trips[cols10]}" 'BEGIN {
  printf "per row (measurement and walk):   %.3f\n", (a - h) / 1000
  printf "per non-matching cell:            %.3f\n", (a - c) / (2000 * 10)
  printf "per matching cell:                %.3f\n", (m - a) / 400
  printf "per visited cell, in all:         %.3f\n", m / 40000
}'
echo "Calls of the 1% run by member:"
sed -n 's/^member /  /p' "$work/trips-match1pct.txt"
sed -n 's/^\(get_ids_of_names\|get_type_info\|type_info_calls\|type_comp_calls\|query_interface\) /  \1 /p' \
  "$work/trips-match1pct.txt"
