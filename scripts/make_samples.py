#!/usr/bin/python3
"""Sample workbooks for the demo, and a before/after view of their cells.

  make_samples.py make DIR              writes the sample folder into DIR
  make_samples.py snapshot DIR OUT      records every cell of every workbook in DIR
  make_samples.py changes OUT DIR       prints the cells that differ from the record

Workbooks are written and read with openpyxl, independently of cellsweep.
"""
import json
import os
import sys

import openpyxl
from openpyxl.chart import BarChart, Reference


def make(root):
    os.makedirs(os.path.join(root, "2024", "归档"), exist_ok=True)
    os.makedirs(os.path.join(root, "人员"), exist_ok=True)

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "一月"
    ws.append(["产品", "数量", "状态"])
    ws.append(["苹果", 120, "草稿"])
    ws.append(["香蕉", 80, "已审核"])
    ws.append(["橙子", 95, "草稿（待复核）"])
    ws2 = wb.create_sheet("二月")
    ws2.append(["产品", "数量", "状态"])
    ws2.append(["苹果", 130, "已审核"])
    ws2.append(["梨", 60, "草稿"])
    ws3 = wb.create_sheet("汇总")
    # A table that starts away from A1: its cells are found all the same.
    ws3["C5"] = "汇总表（草稿）"
    ws3["C6"] = "合计"
    ws3["D6"] = "=SUM(一月!B2:B4)+SUM(二月!B2:B3)"
    ws3["F12"] = "备注：草稿版本"
    wb.save(os.path.join(root, "销售报表.xlsx"))

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "库存"
    for i, (name, qty) in enumerate([("螺丝", 500), ("螺母", 300), ("垫片", 0)], start=1):
        ws.cell(row=i, column=1, value=name)
        ws.cell(row=i, column=2, value=qty)
        ws.cell(row=i, column=3, value="草稿" if qty == 0 else "正常")
    chart = BarChart()
    chart.title = "库存量"
    chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=3))
    chart.set_categories(Reference(ws, min_col=1, min_row=1, max_row=3))
    wb.create_chartsheet("图表").add_chart(chart)
    wb.save(os.path.join(root, "2024", "库存.xlsx"))

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "旧清单"
    ws.append(["编号", "名称"])
    ws.append([1, "已归档，无需修改"])
    wb.save(os.path.join(root, "2024", "归档", "旧清单.xlsx"))

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "名单"
    ws.append(["姓名", "部门", "备注"])
    ws.append(["张三", "财务部", "合同草稿已发"])
    ws.append(["李四", "销售部", ""])
    wb.create_sheet("空白页")
    wb.save(os.path.join(root, "人员", "名单.xlsx"))

    with open(os.path.join(root, "说明.txt"), "w", encoding="utf-8") as f:
        f.write("这不是工作簿：cellsweep 会把它列为无法打开的文件。\n")


def cells(root):
    """{relative path: {sheet!cell: [value, horizontal alignment, shrink to fit]}} of every workbook."""
    out = {}
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith((".xlsx", ".xlsm")):
                continue
            path = os.path.join(folder, name)
            wb = openpyxl.load_workbook(path)
            book = {}
            for ws in wb.worksheets:
                for row in ws.iter_rows():
                    for c in row:
                        if c.value is not None:
                            book[f"{ws.title}!{c.coordinate}"] = [
                                str(c.value), c.alignment.horizontal, bool(c.alignment.shrink_to_fit)]
            out[os.path.relpath(path, root)] = book
    return out


def changes(record_path, root):
    with open(record_path, encoding="utf-8") as f:
        before = json.load(f)
    after = cells(root)
    n = 0
    for rel in sorted(after):
        old_book = before.get(rel, {})
        for key, (value, horizontal, shrink) in sorted(after[rel].items()):
            old = old_book.get(key)
            if old is None or old[0] != value:
                n += 1
                was = "(empty)" if old is None else old[0]
                looks = ", ".join(x for x in (horizontal == "center" and "centred", shrink and "shrink to fit") if x)
                print(f"  {rel} | {key} | {was} -> {value}" + (f"   [{looks}]" if looks else ""))
    print(f"  {n} cells changed, read back with openpyxl")


def main(argv):
    if len(argv) == 3 and argv[1] == "make":
        make(argv[2])
    elif len(argv) == 4 and argv[1] == "snapshot":
        with open(argv[3], "w", encoding="utf-8") as f:
            json.dump(cells(argv[2]), f, ensure_ascii=False)
    elif len(argv) == 4 and argv[1] == "changes":
        changes(argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
