#!/usr/bin/python3
"""cellsweep-cli end to end: folders of openpyxl-made workbooks, results read back with openpyxl.

Run as: cli_e2e_test.py PATH/TO/cellsweep-cli [unittest arguments]
"""
import hashlib
import os
import pty
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

import openpyxl
from openpyxl.chart import BarChart, Reference

CLI = None
FIND, REPLACE = "旧值", "新值"
OLE_HEADER = bytes.fromhex("D0CF11E0A1B11AE1")  # what an encrypted workbook is: a compound file, not a zip


def run(args, **kw):
    return subprocess.run([CLI] + args, capture_output=True, text=True, timeout=90, **kw)


def save(path, sheets, chart_of=None):
    """sheets: {title: {cell: value}}; chart_of: a sheet title to chart in a chart sheet."""
    wb = openpyxl.Workbook()
    wb.remove(wb.active)
    for title, values in sheets.items():
        ws = wb.create_sheet(title)
        for ref, v in values.items():
            ws[ref] = v
    if chart_of:
        ws = wb[chart_of]
        chart = BarChart()
        chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=3))
        wb.create_chartsheet("图表").add_chart(chart)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    wb.save(path)


def tree_state(root):
    """{relative path: (sha256, mtime_ns)} of every file, and nothing else may appear."""
    state = {}
    for folder, _, files in os.walk(root):
        for name in files:
            p = os.path.join(folder, name)
            with open(p, "rb") as f:
                state[os.path.relpath(p, root)] = (hashlib.sha256(f.read()).hexdigest(), os.stat(p).st_mtime_ns)
    return state


# Workbook contents of the main fixture: which cells must become REPLACE.
RANGE_C5 = {  # used range C5:F10; the cells past D6 used to be missed
    "C5": "旧值在角上", "D7": 42, "E8": "别的文本", "F10": "x旧值y", "F9": "旧 值",
}
FIXTURE = {
    "plain.xlsx": ({"数据": {"A1": "含有旧值的文本", "A2": "无关", "B2": 3.5, "C3": "旧值"},
                    "第二页": {"B1": "旧值", "B2": "新旧值之间"}}, None),
    "untouched.xlsx": ({"表": {"A1": "没有要找的", "B2": 7}}, None),
    "子目录/range.xlsx": ({"区域": RANGE_C5}, None),
    "子目录/深/chart.xlsx": ({"数": {"A1": "标题旧值", "B1": 1, "B2": 2, "B3": 3}}, "数"),
}


def expected_cells(sheets):
    """{(sheet, cell)}: the cells whose text contains FIND."""
    return {(s, c) for s, vals in sheets.items() for c, v in vals.items() if isinstance(v, str) and FIND in v}


def make_fixture(root):
    for rel, (sheets, chart) in FIXTURE.items():
        save(os.path.join(root, rel), sheets, chart)
    with open(os.path.join(root, "secret.xlsx"), "wb") as f:
        f.write(OLE_HEADER + bytes(504))
    with open(os.path.join(root, "子目录", "notes.txt"), "w", encoding="utf-8") as f:
        f.write("不是工作簿 旧值\n")


class FixtureTree(unittest.TestCase):
    """Each test gets its own copy of the main fixture in a fresh folder."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="cli-e2e-")
        self.addCleanup(shutil.rmtree, self.root)
        make_fixture(self.root)


class Results(FixtureTree):
    def test_workbooks_rewritten_failures_reported(self):
        before = tree_state(self.root)
        r = run(["--folder", self.root, "--find", FIND, "--replace", REPLACE])
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        out = r.stdout.splitlines()

        # The collected list: every file once, a folder's own files before its sub-folders'.
        listed = [l for l in out if l.startswith(self.root + "/")]
        self.assertEqual(sorted(listed), sorted(os.path.join(self.root, p) for p in before))
        depth = [l.count("/") for l in listed]
        self.assertEqual(depth, sorted(depth))
        # Plain progress lines in a pipe: "n/count path".
        count = len(before)
        for i, path in enumerate(listed, start=1):
            self.assertIn(f"{i}/{count} {path}", out)

        # Summary, each failure with its reason, the end text last.
        n_cells = sum(len(expected_cells(s)) for s, _ in FIXTURE.values())
        self.assertIn(f"files processed: {count}", out)
        self.assertIn(f"cells rewritten: {n_cells}", out)
        self.assertIn("files changed: 3", out)
        self.assertIn("files unchanged: 1", out)
        self.assertIn("files failed: 2", out)
        failed = [l for l in out if l.startswith("  " + self.root)]
        self.assertEqual(len(failed), 2, out)
        for name in ("secret.xlsx", "notes.txt"):
            line = next(l for l in failed if name in l)
            self.assertGreater(len(line.split(": ", 1)[1].strip()), 3, line)  # a reason, not just a name
        self.assertEqual(out[-1], "已经完毕！")

        # Every workbook, read back independently.
        for rel, (sheets, chart) in FIXTURE.items():
            wb = openpyxl.load_workbook(os.path.join(self.root, rel))
            hits = expected_cells(sheets)
            for title, values in sheets.items():
                ws = wb[title]
                for ref, v in values.items():
                    c = ws[ref]
                    if (title, ref) in hits:
                        self.assertEqual(c.value, REPLACE, (rel, title, ref))
                        self.assertEqual(c.alignment.horizontal, "center", (rel, title, ref))
                        self.assertTrue(c.alignment.shrink_to_fit, (rel, title, ref))
                    else:
                        self.assertEqual(c.value, v, (rel, title, ref))
                        self.assertNotEqual(c.alignment.horizontal, "center", (rel, title, ref))
                # Nothing new appeared anywhere in the sheet.
                present = {c.coordinate for row in ws.iter_rows() for c in row if c.value is not None}
                self.assertEqual(present, set(values), (rel, title))
            self.assertEqual([s.title for s in wb.chartsheets], ["图表"] if chart else [])

        # Unmatched workbook and the failures keep their bytes and time; no stray temp files.
        after = tree_state(self.root)
        self.assertEqual(set(after), set(before))
        for rel in ("untouched.xlsx", "secret.xlsx", "子目录/notes.txt"):
            self.assertEqual(after[rel], before[rel], rel)
        for rel in ("plain.xlsx", "子目录/range.xlsx", "子目录/深/chart.xlsx"):
            self.assertNotEqual(after[rel][0], before[rel][0], rel)

    def test_empty_find_allowed_rewrites_every_nonempty_cell(self):
        root = os.path.join(self.root, "子目录", "深")
        r = run(["--folder", root, "--find", "", "--replace", "空", "--allow-empty-find"])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("cells rewritten: 4", r.stdout.splitlines())
        ws = openpyxl.load_workbook(os.path.join(root, "chart.xlsx"))["数"]
        self.assertEqual([[c.value for c in row] for row in ws.iter_rows(min_row=1, max_row=4, max_col=3)],
                         [["空", "空", None], [None, "空", None], [None, "空", None], [None, None, None]])


class DryRun(FixtureTree):
    def test_dry_run_lists_cells_and_writes_nothing(self):
        before = tree_state(self.root)
        r = run(["--folder", self.root, "--find", FIND, "--replace", REPLACE, "--dry-run"])
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        self.assertEqual(tree_state(self.root), before)
        listed = set()
        for line in r.stdout.splitlines():
            if line.startswith("  would rewrite: "):
                path, sheet, cell, old = line[len("  would rewrite: "):].split(" | ")
                listed.add((os.path.relpath(path, self.root), sheet, cell, old))
        want = {(rel, s, c, FIXTURE[rel][0][s][c]) for rel in FIXTURE for s, c in expected_cells(FIXTURE[rel][0])}
        self.assertEqual(listed, want)
        self.assertIn(f"cells that would be rewritten: {len(want)}", r.stdout.splitlines())
        self.assertEqual(r.stdout.splitlines()[-1], "已经完毕！")

    def test_quiet_keeps_only_the_summary(self):
        r = run(["--folder", self.root, "--find", FIND, "--replace", REPLACE, "--dry-run", "--quiet"])
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        out = r.stdout.splitlines()
        self.assertEqual(out[0], "files processed: 6")
        self.assertFalse([l for l in out if l.startswith(self.root) or "would rewrite" in l], out)
        self.assertEqual(len([l for l in out if l.startswith("  " + self.root)]), 2)

    def test_terminal_gets_one_redrawn_progress_line(self):
        master, slave = pty.openpty()
        p = subprocess.Popen([CLI, "--folder", self.root, "--find", FIND, "--replace", REPLACE, "--dry-run"],
                             stdout=slave, stderr=subprocess.DEVNULL)
        os.close(slave)
        data = b""
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:
                break
            if not chunk:
                break
            data += chunk
        self.assertEqual(p.wait(timeout=90), 1)
        text = data.decode("utf-8")
        self.assertIn("\r[####################] 6/6 ", text)
        self.assertNotIn("\n6/6 ", text)  # no plain per-file lines on a terminal


class Refusals(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="cli-args-")
        self.addCleanup(shutil.rmtree, self.root)
        save(os.path.join(self.root, "a.xlsx"), {"S": {"A1": "旧值", "A2": "x"}})

    def test_usage_errors_exit_2_and_touch_nothing(self):
        before = tree_state(self.root)
        a_file = os.path.join(self.root, "a.xlsx")
        ok = ["--find", FIND, "--replace", REPLACE]
        cases = [
            ([], "错误，搜索目录不能为空"),
            (["--find", FIND, "--replace", REPLACE], "错误，搜索目录不能为空"),
            (["--folder", ""] + ok, "错误，搜索目录不能为空"),
            (["--folder", os.path.join(self.root, "没有这个目录")] + ok, "not found"),
            (["--folder", a_file] + ok, "not a folder"),
            (["--folder", self.root, "--find", "", "--replace", REPLACE], "--allow-empty-find"),
            (["--folder", self.root, "--find", FIND], "--replace"),
            (["--folder", self.root, "--engine", "excel"] + ok, "Windows"),
            (["--folder", self.root, "--engine", "libre"] + ok, "auto, builtin or excel"),
            (["--folder", self.root, "--backup"] + ok, "--backup"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                r = run(args)
                self.assertEqual(r.returncode, 2, r.stdout + r.stderr)
                self.assertIn(message, r.stderr)
                self.assertNotIn("已经完毕！", r.stdout)
        self.assertEqual(tree_state(self.root), before)

    def test_help_documents_every_option(self):
        r = run(["--help"])
        self.assertEqual(r.returncode, 0)
        for word in ("--folder", "--find", "--replace", "--engine", "auto", "builtin", "excel", "--dry-run",
                     "--quiet", "--allow-empty-find", "Exit codes"):
            self.assertIn(word, r.stdout)


class ReadOnly(unittest.TestCase):
    """A read-only workbook is the user saying "do not change this": reported as failed and left as
    it was, whoever runs the tool (root too, who could write it; a save by rename would replace it)."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="cli-ro-")
        self.addCleanup(shutil.rmtree, self.root)
        save(os.path.join(self.root, "open.xlsx"), {"S": {"A1": "旧值"}})
        self.locked = os.path.join(self.root, "locked.xlsx")
        save(self.locked, {"S": {"A1": "旧值", "B1": "keep"}})
        os.chmod(self.locked, 0o444)
        self.command = [CLI]

    def test_read_only_workbook_fails_untouched(self):
        before = tree_state(self.root)
        r = subprocess.run(self.command + ["--folder", self.root, "--find", FIND, "--replace", REPLACE],
                           capture_output=True, text=True, timeout=90)
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        out = r.stdout.splitlines()
        self.assertIn("files failed: 1", out)
        self.assertIn("files changed: 1", out)
        self.assertTrue([l for l in out if l.startswith("  " + self.locked + ": ")], out)
        self.assertEqual(tree_state(self.root)["locked.xlsx"], before["locked.xlsx"])
        self.assertEqual(stat.S_IMODE(os.stat(self.locked).st_mode), 0o444)
        self.assertEqual(openpyxl.load_workbook(os.path.join(self.root, "open.xlsx"))["S"]["A1"].value, REPLACE)


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main()
