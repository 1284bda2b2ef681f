#!/bin/sh
# The batch as a user runs it in cellsweep.exe, under Wine, on a folder of
# openpyxl-made workbooks, checked afterwards with openpyxl.
#   e2e_batch.sh standin DRIVER   through the stand-in registered as "Excel.Application"
#   e2e_batch.sh none DRIVER      with no such server registered: the built-in engine
#   e2e_batch.sh broken DRIVER    through the stand-in, with a damaged workbook among the
#                                 others: the end box must name it, the rest still be done
# Runs inside the environment of scripts/wine-env (WINEPREFIX, code page 936, display).
set -eu
mode=$1
driver=$2
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?source scripts/wine-env first}"
wine=${WINE:-wine}

name=cellsweep-e2e-$mode-$$
work=$WINEPREFIX/drive_c/$name
trips=$WINEPREFIX/drive_c/$name-trips.txt
originals=$(mktemp -d)
trap 'rm -rf "$work" "$trips" "$originals"' EXIT

extra=
[ "$mode" = broken ] && extra=broken
count=$(/usr/bin/python3 "$here/e2e_books.py" make "$work" "$originals" $extra)
export CELLSWEEP_STANDIN_TRIPS="C:\\$name-trips.txt"
"$wine" "$driver" "$mode" "C:\\$name" "$count"

if [ "$mode" != none ]; then
  # The batch must really have gone through the server.
  if [ ! -s "$trips" ]; then echo "FAIL the stand-in server was never used"; exit 1; fi
  grep -q '^member Value put [1-9]' "$trips" || { echo "FAIL no cell written through the server"; cat "$trips"; exit 1; }
  echo "stand-in round trips: $(sed -n 's/^round_trips //p' "$trips")"
else
  if [ -e "$trips" ]; then echo "FAIL a server was used although none is registered"; exit 1; fi
fi
/usr/bin/python3 "$here/e2e_books.py" check "$work" "$originals"
