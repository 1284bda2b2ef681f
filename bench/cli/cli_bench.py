#!/usr/bin/python3
"""The batch end to end through cellsweep-cli against python3-openpyxl doing the same job on
the same corpus, in the same run; the engine-alone program too where it is built.

Usage: /usr/bin/python3 bench/cli/cli_bench.py [--build build/linux] [--repeat 3]
           [--files 20] [--sheets 3] [--rows 2000] [--cols 20]
(bench/cli/run.sh builds what it needs first.) Prints wall time and peak memory of each
(/usr/bin/time -v), and the ratios. Each run works on a fresh copy of the corpus; the fast
ones run --repeat times and their median is shown. CPU time (user + system) is shown beside
wall time: on a busy machine it is the steadier figure. Not a test: nothing passes or fails.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SEARCH, REPLACEMENT = "abc", "已替换"


def timed(command):
    """(wall seconds, CPU seconds, peak resident MiB, stdout) of one run under /usr/bin/time -v."""
    r = subprocess.run(["/usr/bin/time", "-v"] + command, capture_output=True, text=True)
    if r.returncode not in (0,):
        sys.exit(f"failed ({r.returncode}): {' '.join(command)}\n{r.stdout}\n{r.stderr}")
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)", r.stderr)
    h, m, s = wall.groups()
    seconds = int(h or 0) * 3600 + int(m) * 60 + float(s)
    cpu = sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", r.stderr).group(1)) for kind in ("User", "System"))
    rss_kb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", r.stderr).group(1))
    return seconds, cpu, rss_kb / 1024.0, r.stdout


def fresh_copy(corpus, work, name):
    dest = os.path.join(work, name)
    shutil.rmtree(dest, ignore_errors=True)
    shutil.copytree(corpus, dest)
    return dest


def cli_cells(out):
    return int(re.search(r"^cells rewritten: (\d+)$", out, re.M).group(1))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", default=os.path.join(ROOT, "build", "linux"))
    p.add_argument("--repeat", type=int, default=3)
    p.add_argument("--files", type=int, default=20)
    p.add_argument("--sheets", type=int, default=3)
    p.add_argument("--rows", type=int, default=2000)
    p.add_argument("--cols", type=int, default=20)
    a = p.parse_args()
    cli = os.path.join(a.build, "bin", "cellsweep-cli")
    engine = os.path.join(a.build, "bin", "bench_engine")
    if not os.access(cli, os.X_OK):
        sys.exit(f"{cli} is not built: run bench/cli/run.sh")

    work = tempfile.mkdtemp(prefix="cellsweep-bench-")
    try:
        corpus = os.path.join(work, "corpus")
        subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "bench", "make_corpus.py"), corpus,
                        "--files", str(a.files), "--sheets", str(a.sheets), "--rows", str(a.rows),
                        "--cols", str(a.cols), "--search", SEARCH], check=True)
        size_mb = sum(os.path.getsize(os.path.join(corpus, n)) for n in os.listdir(corpus)) / 2**20
        cells = a.files * a.sheets * a.rows * a.cols
        print(f"corpus: {a.files} workbooks x {a.sheets} sheets x {a.rows} rows x {a.cols} columns = "
              f"{cells:,} cells, about 1% holding \"{SEARCH}\"; {size_mb:.1f} MiB on disk")

        results = {}

        def measure(name, make_command, count_of, runs):
            samples = []
            for _ in range(runs):
                folder = fresh_copy(corpus, work, name)
                wall, cpu, rss, out = timed(make_command(folder))
                samples.append((wall, cpu, rss, count_of(out), folder))
            wall = statistics.median(s[0] for s in samples)
            cpu = statistics.median(s[1] for s in samples)
            rss = max(s[2] for s in samples)
            results[name] = (wall, rss, samples[-1][3], samples[-1][4], cpu)

        measure("openpyxl", lambda d: ["/usr/bin/python3", os.path.join(ROOT, "bench", "openpyxl_job.py"),
                                       d, SEARCH, REPLACEMENT], lambda out: int(out.split()[-1]), 1)
        measure("cellsweep-cli", lambda d: [cli, "--folder", d, "--find", SEARCH, "--replace", REPLACEMENT,
                                            "--engine", "builtin", "--quiet"], cli_cells, a.repeat)
        if os.access(engine, os.X_OK):
            measure("engine alone", lambda d: [engine, SEARCH, REPLACEMENT] +
                    sorted(os.path.join(d, n) for n in os.listdir(d)), lambda out: int(out.split()[0]), a.repeat)

        print(f"{'':16}{'wall s':>9}{'CPU s':>9}{'peak MiB':>10}{'cells changed':>15}")
        for name, (wall, rss, changed, _, cpu) in results.items():
            print(f"{name:16}{wall:9.2f}{cpu:9.2f}{rss:10.1f}{changed:15,}")

        # The same job: the same cells changed, to the same values (first workbook, read by openpyxl).
        counts = {r[2] for r in results.values()}
        first = sorted(os.listdir(corpus))[0]
        values = [[[c.value for c in row] for ws in openpyxl.load_workbook(os.path.join(r[3], first)).worksheets
                   for row in ws.iter_rows()] for r in (results["openpyxl"], results["cellsweep-cli"])]
        same = len(counts) == 1 and values[0] == values[1]
        print("same result as openpyxl: " + ("yes" if same else f"NO (cells changed: {sorted(counts)}; "
                                            f"{first} {'same' if values[0] == values[1] else 'differs'})"))

        o, c = results["openpyxl"], results["cellsweep-cli"]
        print(f"cellsweep-cli vs openpyxl: {o[0] / c[0]:.1f}x faster in wall time (goal >= 20x; "
              f"{o[4] / c[4]:.1f}x in CPU time), {c[1] / o[1]:.2f} of its peak memory (goal <= 0.25)")
        if "engine alone" in results:
            e = results["engine alone"]
            print(f"cellsweep-cli vs engine alone: {c[0] / e[0]:.2f}x its wall time (goal <= 1.3x; "
                  f"{c[4] / e[4]:.2f}x in CPU time), {c[1] / e[1]:.2f}x its peak memory")
        else:
            print("engine alone: bench_engine is not built in " + a.build)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
