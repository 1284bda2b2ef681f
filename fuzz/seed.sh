#!/bin/bash
# Seeds the fuzz corpora from the workbook fixtures.
#   fuzz/seed.sh FIXTURE_DIR [OUTDIR]     default OUTDIR: build/fuzz
set -euo pipefail
fx=$1
out=${2:-build/fuzz}
mkdir -p "$out/corpus-package" "$out/corpus-parts"
cp "$fx"/*.xls* "$out/corpus-package/"
for f in "$fx"/*.xlsx; do
  b=$(basename "$f" .xlsx)
  {
    unzip -p "$f" '\[Content_Types\].xml'; printf '\n----\n'
    unzip -p "$f" _rels/.rels; printf '\n----\n'
    unzip -p "$f" xl/workbook.xml; printf '\n----\n'
    unzip -p "$f" xl/_rels/workbook.xml.rels; printf '\n----\n'
    unzip -p "$f" xl/worksheets/sheet1.xml; printf '\n----\n'
    unzip -p "$f" xl/sharedStrings.xml 2>/dev/null || true; printf '\n----\n'
    unzip -p "$f" xl/styles.xml
  } > "$out/corpus-parts/$b.txt"
done
