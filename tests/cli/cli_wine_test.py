#!/usr/bin/python3
"""cellsweep-cli.exe under Wine with code page 936: Chinese arguments, file names, cell texts and
messages go through the ANSI code page, and the workbooks come out right (read back with openpyxl).

Run as: cli_wine_test.py WINE PATH/TO/cellsweep-cli.exe (in the environment of scripts/wine-env).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import openpyxl

WINE = EXE = None


def wine(args):
    r = subprocess.run([WINE, EXE] + args, capture_output=True, timeout=120)
    return r.returncode, r.stdout.decode("cp936"), r.stderr.decode("cp936")


class AnsiCodePage(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="cli-wine-")
        self.addCleanup(shutil.rmtree, self.root)
        os.makedirs(os.path.join(self.root, "子目录"))
        for rel, cells in (("报表.xlsx", {"A1": "旧值文本", "B2": "别的"}), ("子目录/清单.xlsx", {"C3": "含旧值"})):
            wb = openpyxl.Workbook()
            wb.active.title = "表一"
            for ref, v in cells.items():
                wb.active[ref] = v
            wb.save(os.path.join(self.root, rel))
        self.win_root = subprocess.run(["winepath", "-w", self.root], capture_output=True, text=True,
                                       check=True).stdout.strip()

    def test_chinese_texts_round_trip(self):
        rc, out, err = wine(["--folder", self.win_root, "--find", "旧值", "--replace", "新值"])
        self.assertEqual(rc, 0, out + err)
        lines = out.splitlines()
        self.assertIn(self.win_root + "\\报表.xlsx", lines)
        self.assertIn(self.win_root + "\\子目录\\清单.xlsx", lines)
        self.assertIn("cells rewritten: 2", lines)
        self.assertEqual(lines[-1], "已经完毕！")
        ws = openpyxl.load_workbook(os.path.join(self.root, "报表.xlsx"))["表一"]
        self.assertEqual((ws["A1"].value, ws["A1"].alignment.horizontal, ws["B2"].value), ("新值", "center", "别的"))
        ws = openpyxl.load_workbook(os.path.join(self.root, "子目录", "清单.xlsx"))["表一"]
        self.assertEqual(ws["C3"].value, "新值")

    def test_empty_folder_gives_the_windows_message(self):
        rc, out, err = wine(["--folder", "", "--find", "旧值", "--replace", "新值"])
        self.assertEqual(rc, 2, out + err)
        self.assertIn("错误，搜索目录不能为空", err)


if __name__ == "__main__":
    WINE, EXE = sys.argv.pop(1), sys.argv.pop(1)
    unittest.main()
