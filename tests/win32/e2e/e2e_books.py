#!/usr/bin/python3
"""Workbooks for the Windows end-to-end batch test, made and checked with openpyxl.

  e2e_books.py make FOLDER ORIGINALS [broken]
                                       writes the workbooks into FOLDER and a copy of
                                       each into ORIGINALS; prints how many files FOLDER holds;
                                       with "broken", also a damaged workbook (broken.xlsx)
                                       that must fail to open and stay as it was
  e2e_books.py check FOLDER ORIGINALS  compares every workbook with its original: the
                                       matching cells replaced, centred and shrunk to fit,
                                       everything else unchanged; exit 1 with a list otherwise

The search and replacement texts are the ones the driver types.
"""
import datetime
import hashlib
import os
import shutil
import sys

import openpyxl
from openpyxl.styles import Alignment

SEARCH = "旧值"
REPLACEMENT = "新值"


def mixed_sheet(ws, rows, cols, seed):
    for r in range(1, rows + 1):
        for c in range(1, cols + 1):
            k = (r * 31 + c * 17 + seed) % 11
            if k == 0:
                ws.cell(r, c, "含有%s的文字%d" % (SEARCH, r))      # matches, inside a longer text
            elif k == 1:
                ws.cell(r, c, r * 1000 + c)                      # a number
            elif k == 2:
                ws.cell(r, c, "旧 值%d" % c)                      # near miss: a blank inside
            elif k == 3:
                ws.cell(r, c, (r + c) / 8.0)
            elif k == 4:
                ws.cell(r, c, "plain text %d,%d" % (r, c))
            elif k == 5:
                pass                                             # empty
            elif k == 6:
                ws.cell(r, c, SEARCH)                            # exactly the search text
            elif k == 7:
                ws.cell(r, c, datetime.datetime(2020, 1 + r % 12, 1 + c))
            elif k == 8:
                ws.cell(r, c, r % 2 == 0)
            elif k == 9:
                cell = ws.cell(r, c, "左对齐的旧")                  # formatted, no match
                cell.alignment = Alignment(horizontal="left")
            else:
                ws.cell(r, c, "中文单元格")


def make(folder, originals, broken=False):
    os.makedirs(folder, exist_ok=True)
    os.makedirs(os.path.join(folder, "子目录"), exist_ok=True)

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "数据"
    mixed_sheet(ws, 30, 7, 0)
    mixed_sheet(wb.create_sheet("Second"), 12, 4, 5)
    wb.save(os.path.join(folder, "甲.xlsx"))

    # Used from C5 to F10: the scan must reach the far corner.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Offset"
    for r in range(5, 11):
        for c in range(3, 7):
            ws.cell(r, c, "x%d%d" % (r, c))
    ws["C5"] = SEARCH + "开头"
    ws["E7"] = "中间" + SEARCH
    ws["F10"] = "最后" + SEARCH
    wb.save(os.path.join(folder, "子目录", "offset.xlsx"))

    # Nothing matches: the file must keep every byte.
    wb = openpyxl.Workbook()
    mixed_sheet(wb.active, 6, 3, 3)
    for row in wb.active.iter_rows():
        for cell in row:
            if isinstance(cell.value, str) and SEARCH in cell.value:
                cell.value = "no match"
    wb.save(os.path.join(folder, "untouched.xlsx"))

    if broken:
        with open(os.path.join(folder, "甲.xlsx"), "rb") as f:
            data = f.read()
        with open(os.path.join(folder, "broken.xlsx"), "wb") as f:
            f.write(data[: len(data) // 2])  # cut off: no central directory

    count = 0
    for root, _, files in os.walk(folder):
        for name in files:
            count += 1
            rel = os.path.relpath(os.path.join(root, name), folder)
            dest = os.path.join(originals, rel)
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            shutil.copy2(os.path.join(root, name), dest)
    print(count)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def check(folder, originals):
    problems = []
    replaced = 0
    for root, _, files in os.walk(originals):
        for name in files:
            rel = os.path.relpath(os.path.join(root, name), originals)
            before_path = os.path.join(root, name)
            after_path = os.path.join(folder, rel)
            if name.startswith("broken"):
                if digest(before_path) != digest(after_path):
                    problems.append("%s: a workbook that cannot be opened was changed" % rel)
                continue
            before = openpyxl.load_workbook(before_path)
            after = openpyxl.load_workbook(after_path)
            if before.sheetnames != after.sheetnames:
                problems.append("%s: sheets %s became %s" % (rel, before.sheetnames, after.sheetnames))
                continue
            matches = 0
            for title in before.sheetnames:
                b, a = before[title], after[title]
                rows = max(b.max_row, a.max_row)
                cols = max(b.max_column, a.max_column)
                for r in range(1, rows + 1):
                    for c in range(1, cols + 1):
                        old, new = b.cell(r, c), a.cell(r, c)
                        where = "%s!%s" % (title, old.coordinate)
                        if isinstance(old.value, str) and SEARCH in old.value:
                            matches += 1
                            if new.value != REPLACEMENT:
                                problems.append("%s %s: %r, expected %r" % (rel, where, new.value, REPLACEMENT))
                            if new.alignment.horizontal != "center" or not new.alignment.shrink_to_fit:
                                problems.append("%s %s: not centred and shrunk to fit (%s, %s)" % (
                                    rel, where, new.alignment.horizontal, new.alignment.shrink_to_fit))
                        else:
                            if new.value != old.value:
                                problems.append("%s %s: %r changed to %r" % (rel, where, old.value, new.value))
                            if (new.alignment.horizontal != old.alignment.horizontal or
                                    bool(new.alignment.shrink_to_fit) != bool(old.alignment.shrink_to_fit)):
                                problems.append("%s %s: format changed" % (rel, where))
            replaced += matches
            if matches == 0 and digest(before_path) != digest(after_path):
                problems.append("%s: no cell matched, yet the file was rewritten" % rel)
    for p in problems[:40]:
        print("FAIL " + p)
    if problems:
        print("%d problems" % len(problems))
        return 1
    print("all workbooks as expected; %d cells replaced" % replaced)
    return 0


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5) or sys.argv[1] not in ("make", "check"):
        sys.exit(__doc__)
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], len(sys.argv) == 5 and sys.argv[4] == "broken")
    else:
        sys.exit(check(sys.argv[2], sys.argv[3]))
