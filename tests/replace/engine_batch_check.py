#!/usr/bin/python3
"""Runs the batch over the built-in engine on workbooks made by openpyxl and
checks the results with openpyxl: exactly the matching cells rewritten,
centred and shrunk to fit; everything else, and every untouched file, as it
was.

usage: engine_batch_check.py [--wine] ENGINE_BATCH_PROGRAM
"""
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl

failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def hexed(text):
    return text.encode("utf-8").hex() or "-"


def run(program, wine, search, replacement, paths, *flags):
    args = []
    for p in paths:
        args.append("Z:" + p.replace("/", "\\") if wine else p)
    cmd = ([wine] if wine else []) + [program, hexed(search), hexed(replacement)] + list(flags) + args
    out = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if out.returncode != 0:
        sys.exit("engine_batch failed: %r\n%s" % (out.returncode, out.stderr.decode("utf-8", "replace")))
    return out.stdout.decode("utf-8", "replace").splitlines()


def snapshot(path):
    with open(path, "rb") as f:
        return f.read(), os.stat(path).st_mtime_ns


def cell_state(path):
    wb = openpyxl.load_workbook(path)
    state = {}
    for ws in wb.worksheets:
        for row in ws.iter_rows():
            for c in row:
                if c.value is not None or c.alignment.horizontal or c.alignment.shrink_to_fit:
                    state[(ws.title, c.coordinate)] = (c.value, c.alignment.horizontal, bool(c.alignment.shrink_to_fit))
    return state


def expect_rewritten(path, before, rewritten, replacement):
    """rewritten: set of (sheet, cell). Every other cell must be as before."""
    after = cell_state(path)
    for key in rewritten:
        value, horizontal, shrink = after.get(key, (None, None, False))
        check(value == (replacement if replacement != "" else None), "%s %s value %r" % (path, key, value))
        check(horizontal == "center", "%s %s not centred (%r)" % (path, key, horizontal))
        check(shrink, "%s %s not shrunk to fit" % (path, key))
    for key, was in before.items():
        if key not in rewritten:
            check(after.get(key) == was, "%s %s changed: %r -> %r" % (path, key, was, after.get(key)))
    for key in after:
        check(key in before or key in rewritten, "%s %s appeared: %r" % (path, key, after[key]))


def main():
    wine = None
    argv = sys.argv[1:]
    if argv and argv[0] == "--wine":
        wine = "wine"
        argv = argv[1:]
    program = argv[0]
    tmp = tempfile.mkdtemp(prefix="cellsweep-batch-")

    # A workbook with matches on two sheets, one of them used only in C5:F10.
    a = os.path.join(tmp, "a.xlsx")
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "数据"
    ws["A1"] = "xabcx"
    ws["A2"] = "ABC"
    ws["B3"] = 123
    ws["D4"] = "中文abc"
    ws["E1"] = "abc"
    box = wb.create_sheet("Box")
    for r in range(5, 11):
        for col in "CDEF":
            box["%s%d" % (col, r)] = "keep %s%d" % (col, r)
    for name in ("C5", "F10", "E8", "D6"):
        box[name] = "has abc in " + name
    wb.save(a)
    # A workbook with nothing to replace, and a file that is no workbook.
    same = os.path.join(tmp, "same.xlsx")
    wb = openpyxl.Workbook()
    wb.active["B2"] = "nothing here"
    wb.save(same)
    broken = os.path.join(tmp, "broken.xlsx")
    with open(broken, "wb") as f:
        f.write(b"this is not a zip file")

    before_a = cell_state(a)
    same_before = snapshot(same)
    lines = run(program, wine, "abc", "替换", [a, same, broken])
    expect_rewritten(a, before_a, {("数据", "A1"), ("数据", "D4"), ("数据", "E1"), ("Box", "C5"), ("Box", "F10"),
                                   ("Box", "E8"), ("Box", "D6")}, "替换")
    check(snapshot(same) == same_before, "an untouched workbook was written")
    check([l for l in lines if l.startswith("caption")] == ["caption 1", "caption 2", "caption 3", "caption 4"],
          "captions: %r" % lines)
    check(any(l.startswith("failure") and "broken.xlsx" in l for l in lines), "broken file not reported: %r" % lines)
    boxes = [l for l in lines if l.startswith("box")]
    check(len(boxes) == 1 and boxes[0].startswith("box %d 信息： 已经完毕！" % (0x30 | 0x2000)) and "broken.xlsx" in boxes[0],
          "end box: %r" % boxes)
    check("report files=3 changed=1 unchanged=1 cells=7 ignored=0" in lines, "report: %r" % lines)

    # Double-byte search text; a second run over the same file leaves it alone.
    c = os.path.join(tmp, "c.xlsx")
    wb = openpyxl.Workbook()
    wb.active["A1"] = "一个中文字"
    wb.active["A2"] = "中 文"
    wb.active["B1"] = "文中"
    wb.save(c)
    before_c = cell_state(c)
    lines = run(program, wine, "中文", "X", [c])
    expect_rewritten(c, before_c, {("Sheet", "A1")}, "X")
    check("report files=1 changed=1 unchanged=0 cells=1 ignored=0" in lines, "double-byte report: %r" % lines)
    boxes = [l for l in lines if l.startswith("box")]
    check(boxes == ["box %d 信息： 已经完毕！" % 0x2000], "plain end box: %r" % boxes)

    # Empty search text: cancelled, nothing happens; confirmed, every non-empty cell.
    e = os.path.join(tmp, "e.xlsx")
    wb = openpyxl.Workbook()
    wb.active["A1"] = "a"
    wb.active["C3"] = 5
    wb.save(e)
    e_before = snapshot(e)
    before_e = cell_state(e)
    lines = run(program, wine, "", "R", [e], "--cancel")
    check(snapshot(e) == e_before, "cancelled empty search wrote the file")
    check("report files=0 changed=0 unchanged=0 cells=0 ignored=1" in lines, "cancel report: %r" % lines)
    lines = run(program, wine, "", "R", [e])
    expect_rewritten(e, before_e, {("Sheet", "A1"), ("Sheet", "C3")}, "R")

    # Dry run: the cells are counted, the file keeps its bytes.
    d = os.path.join(tmp, "d.xlsx")
    wb = openpyxl.Workbook()
    wb.active["A1"] = "old"
    wb.save(d)
    d_before = snapshot(d)
    lines = run(program, wine, "old", "new", [d], "--dry-run")
    check(snapshot(d) == d_before, "dry run wrote the file")
    check("report files=1 changed=1 unchanged=0 cells=1 ignored=0" in lines, "dry-run report: %r" % lines)

    # The default choice with no spreadsheet application registered: the engine does the work.
    before_d = cell_state(d)
    lines = run(program, wine, "old", "new", [d], "--auto")
    expect_rewritten(d, before_d, {("Sheet", "A1")}, "new")
    check("report files=1 changed=1 unchanged=0 cells=1 ignored=0" in lines, "auto report: %r" % lines)

    if failures:
        print("\n".join(failures))
        print("workbooks left in " + tmp)
        sys.exit(1)
    shutil.rmtree(tmp, ignore_errors=True)
    print("all workbook checks passed")


main()
