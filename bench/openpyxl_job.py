#!/usr/bin/python3
"""The batch job done with openpyxl, for comparison: every cell of every sheet's
used range whose text holds SEARCH gets the whole value REPLACEMENT, centred and
shrunk to fit; each workbook is saved in place.

Usage: /usr/bin/python3 bench/openpyxl_job.py DIR SEARCH REPLACEMENT
Works on every .xlsx/.xlsm directly in DIR; prints the number of cells changed.
"""
import copy
import os
import sys

import openpyxl


def main():
    folder, search, replacement = sys.argv[1:4]
    changed = 0
    for name in sorted(os.listdir(folder)):
        if not name.lower().endswith((".xlsx", ".xlsm")):
            continue
        path = os.path.join(folder, name)
        wb = openpyxl.load_workbook(path, keep_vba=name.lower().endswith(".xlsm"))
        dirty = False
        for ws in wb.worksheets:
            for row in ws.iter_rows():
                for c in row:
                    v = c.value
                    if v is None:
                        continue
                    if search in (v if isinstance(v, str) else str(v)):
                        c.value = replacement
                        al = copy.copy(c.alignment)
                        al.horizontal = "center"
                        al.shrink_to_fit = True
                        c.alignment = al
                        changed += 1
                        dirty = True
        if dirty:
            wb.save(path)
    print(changed)


if __name__ == "__main__":
    main()
