#!/usr/bin/python3
"""Checks the engine's saved workbooks with an independent reader (openpyxl).

Usage: /usr/bin/python3 check_openpyxl.py XLSX_EDIT FIXTURE_DIR WORK_DIR
XLSX_EDIT is the engine driver (tests/xlsx/xlsx_edit.cpp). Each check copies a
fixture, edits it through the engine as the batch does, and compares every
cell, format, sheet, defined name and untouched part with the original.
"""
import os
import shutil
import subprocess
import sys
import unittest
import zipfile

import openpyxl

EDIT, FIXTURES, WORK = sys.argv[1:4]


def copy(name, as_name=None):
    os.makedirs(WORK, exist_ok=True)
    dst = os.path.join(WORK, as_name or name)
    if os.path.exists(dst):
        os.chmod(dst, 0o644)
    shutil.copyfile(os.path.join(FIXTURES, name), dst)
    return dst


def engine(path, *commands):
    r = subprocess.run([EDIT, path] + list(commands), capture_output=True, text=True)
    if r.returncode != 0:
        raise AssertionError("engine failed on %s: %s" % (path, r.stderr))
    return r.stdout


def unescape(t):
    out, i = [], 0
    while i < len(t):
        if t[i] == "\\" and i + 1 < len(t):
            out.append({"n": "\n", "t": "\t"}.get(t[i + 1], t[i + 1]))
            i += 2
        else:
            out.append(t[i])
            i += 1
    return "".join(out)


def cell_state(c):
    return (c.value, c.number_format, c.font.b, c.alignment.horizontal, bool(c.alignment.shrink_to_fit),
            c.alignment.vertical)


def all_cells(wb):
    out = {}
    for ws in wb.worksheets:
        for row in ws.iter_rows():
            for c in row:
                if c.value is not None or c.has_style:
                    out[(ws.title, c.coordinate)] = cell_state(c)
    return out


def zip_parts(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename: z.read(i.filename) for i in z.infolist()}


class EngineResults(unittest.TestCase):
    def rewrite_and_compare(self, fixture, edits, keep_vba=False):
        """Runs the batch edits (sheet, cell, text) and checks the edited and untouched cells."""
        orig = os.path.join(FIXTURES, fixture)
        path = copy(fixture)
        engine(path, *["batch:%d:%s:%s" % e for e in edits], "save")
        before = openpyxl.load_workbook(orig, keep_vba=keep_vba)
        after = openpyxl.load_workbook(path, keep_vba=keep_vba)
        self.assertEqual(before.sheetnames, after.sheetnames)
        edited = set()
        for sheet, cell, text in edits:
            ws = after.worksheets[sheet - 1] if sheet <= len(after.worksheets) else None
            title = before.sheetnames[sheet - 1]
            ws = after[title]
            c = ws[cell]
            self.assertEqual(text if text else None, c.value, cell)
            self.assertEqual("center", c.alignment.horizontal, cell)
            self.assertTrue(c.alignment.shrink_to_fit, cell)
            # The rest of the cell's format is its own.
            b = before[title][cell]
            self.assertEqual(b.font.b, c.font.b, cell)
            self.assertEqual(b.alignment.vertical, c.alignment.vertical, cell)
            edited.add((title, cell))
        old, new = all_cells(before), all_cells(after)
        for key in set(old) | set(new):
            if key not in edited:
                self.assertEqual(old.get(key), new.get(key), key)
        self.assertEqual(
            sorted((n, d.attr_text) for n, d in before.defined_names.items()) if hasattr(before.defined_names, "items")
            else sorted((d.name, d.attr_text) for d in before.defined_names.definedName),
            sorted((n, d.attr_text) for n, d in after.defined_names.items()) if hasattr(after.defined_names, "items")
            else sorted((d.name, d.attr_text) for d in after.defined_names.definedName))
        for ws_b, ws_a in zip(before.worksheets, after.worksheets):
            self.assertEqual(sorted(map(str, ws_b.merged_cells.ranges)), sorted(map(str, ws_a.merged_cells.ranges)))
        return path

    def test_basic_workbook(self):
        path = self.rewrite_and_compare("basic.xlsx", [(1, "B4", "替换"), (1, "A2", "新的"), (2, "C5", "X"),
                                                        (1, "B1", "was a number"), (1, "A6", "")])
        wb = openpyxl.load_workbook(path)
        self.assertEqual(["Chart"], [c.title for c in wb.chartsheets])
        # One new format per distinct source format, not one per cell.
        styles = zip_parts(path)["xl/styles.xml"].decode()
        orig = zip_parts(os.path.join(FIXTURES, "basic.xlsx"))["xl/styles.xml"].decode()
        self.assertEqual(orig.count("<xf ") + 2, styles.count("<xf "))

    def test_shared_strings_rich_text_image_and_formulas(self):
        path = self.rewrite_and_compare("xw.xlsx", [(1, "A1", "one"), (1, "D2", "no formula"), (1, "A3", "plain"),
                                                     (2, "B3", "pen"), (2, "D2", "备注 & <x>")])
        wb = openpyxl.load_workbook(path)
        ws = wb.active
        self.assertEqual("shared abc", ws["A2"].value)  # shared with A1, untouched
        self.assertEqual("=B1*2", ws["D1"].value)
        self.assertEqual("=B3*2", ws["D3"].value)
        before, after = zip_parts(os.path.join(FIXTURES, "xw.xlsx")), zip_parts(path)
        self.assertEqual(before["xl/media/image1.png"], after["xl/media/image1.png"])
        self.assertEqual(before["xl/drawings/drawing1.xml"], after["xl/drawings/drawing1.xml"])
        # The header written renames its column in the table part.
        table = wb["Table"].tables["Prices"]
        self.assertEqual(["Item", "Qty", "备注 & <x>"], [c.name for c in table.tableColumns])
        self.assertEqual("B2:D5", table.ref)

    def test_shared_formula_anchor(self):
        path = self.rewrite_and_compare("shared.xlsx", [(1, "D1", "gone")])
        ws = openpyxl.load_workbook(path).active
        self.assertEqual(["=A2+B2*$A$1", "=A3+B3*$A$1", "=A4+B4*$A$1"], [ws["D%d" % r].value for r in (2, 3, 4)])
        self.assertNotIn("xl/calcChain.xml", zip_parts(path))

    def test_macro_part_kept(self):
        path = copy("macro.xlsm")
        self.rewrite_and_compare("macro.xlsm", [(1, "A1", "macro gone")], keep_vba=True)
        before, after = zip_parts(os.path.join(FIXTURES, "macro.xlsm")), zip_parts(path)
        self.assertEqual(before["xl/vbaProject.bin"], after["xl/vbaProject.bin"])
        self.assertEqual(before["[Content_Types].xml"], after["[Content_Types].xml"])

    def test_unchanged_workbook_not_rewritten(self):
        path = copy("basic.xlsx", "untouched.xlsx")
        os.utime(path, (1000000000, 1000000000))
        with open(path, "rb") as f:
            data = f.read()
        engine(path, "dump", "save")
        with open(path, "rb") as f:
            self.assertEqual(data, f.read())
        self.assertEqual(1000000000, int(os.stat(path).st_mtime))

    def test_engine_reads_what_openpyxl_reads(self):
        # Every text and number cell as openpyxl sees it, through the engine's dump.
        for fixture in ("basic.xlsx", "xw.xlsx", "shared.xlsx"):
            wb = openpyxl.load_workbook(os.path.join(FIXTURES, fixture))
            seen = {}
            for line in engine(os.path.join(FIXTURES, fixture), "dump").split("\n"):
                f = line.split("\t")
                if f[0] == "cell":
                    seen[(int(f[1]), int(f[2]), int(f[3]))] = (f[4], unescape(f[5]))
            for si, ws in enumerate(wb.worksheets, 1):
                for row in ws.iter_rows():
                    for c in row:
                        v = c.value
                        got = seen.get((wb.sheetnames.index(ws.title) + 1, c.row, c.column))
                        if isinstance(v, str) and not v.startswith("="):
                            self.assertEqual(("text", v), got, (fixture, c.coordinate))
                        elif isinstance(v, bool):
                            self.assertEqual(("logical", "-1" if v else "0"), got, (fixture, c.coordinate))
                        elif isinstance(v, (int, float)):
                            self.assertEqual("real", got[0], (fixture, c.coordinate))
                            self.assertAlmostEqual(float(v), float(got[1]), 9)

    @unittest.skipUnless(shutil.which("soffice"), "LibreOffice is not installed")
    def test_libreoffice_opens_the_result(self):
        # LibreOffice reads the saved file and recalculates the formulas written out
        # from the shared one whose anchor was overwritten.
        path = self.rewrite_and_compare("shared.xlsx", [(1, "D1", "lo check")])
        out = os.path.join(WORK, "lo")
        profile = "file://" + os.path.abspath(os.path.join(WORK, "lo-profile"))
        subprocess.run(["soffice", "-env:UserInstallation=" + profile, "--headless", "--convert-to", "csv",
                        "--outdir", out, path], check=True, capture_output=True, timeout=180)
        with open(os.path.join(out, "shared.csv"), encoding="utf-8", errors="replace") as f:
            lines = f.read().split("\n")
        self.assertEqual("1,10,f1,lo check", lines[0])
        self.assertEqual(["2,20,f2,22", "3,30,f3,33", "4,40,f4,44"], lines[1:4])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
