#!/usr/bin/python3
"""Writes the benchmark corpus: workbooks of mixed text and numbers, about 1% of
cells holding the search text.

Usage: /usr/bin/python3 bench/make_corpus.py OUTDIR [--files 20] [--sheets 3]
           [--rows 2000] [--cols 20] [--search abc] [--seed 1]
Writes OUTDIR/book01.xlsx ... (xlsxwriter, shared strings, as the spreadsheet
application writes them). Same arguments, same files.
"""
import argparse
import os
import random

import xlsxwriter

WORDS = ["alpha", "beta", "gamma", "delta", "omega", "北京", "上海", "订单", "数量", "kilo", "lima", "zulu"]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("outdir")
    p.add_argument("--files", type=int, default=20)
    p.add_argument("--sheets", type=int, default=3)
    p.add_argument("--rows", type=int, default=2000)
    p.add_argument("--cols", type=int, default=20)
    p.add_argument("--search", default="abc")
    p.add_argument("--seed", type=int, default=1)
    a = p.parse_args()
    os.makedirs(a.outdir, exist_ok=True)
    rnd = random.Random(a.seed)
    for f in range(1, a.files + 1):
        wb = xlsxwriter.Workbook(os.path.join(a.outdir, "book%02d.xlsx" % f))
        for s in range(1, a.sheets + 1):
            ws = wb.add_worksheet("Sheet%d" % s)
            for r in range(a.rows):
                for c in range(a.cols):
                    x = rnd.random()
                    if x < 0.01:
                        ws.write_string(r, c, "%s-%s-%d" % (rnd.choice(WORDS), a.search, rnd.randrange(1000)))
                    elif x < 0.5:
                        ws.write_string(r, c, "%s %d" % (rnd.choice(WORDS), rnd.randrange(100000)))
                    elif x < 0.75:
                        ws.write_number(r, c, rnd.randrange(1000000))
                    else:
                        ws.write_number(r, c, round(rnd.uniform(-1e6, 1e6), 3))
        wb.close()


if __name__ == "__main__":
    main()
