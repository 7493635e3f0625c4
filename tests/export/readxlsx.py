#!/usr/bin/env python3
"""Reads an .xlsx file with openpyxl, an independent reader, and prints what the tests check as JSON.

usage: readxlsx.py FILE [ROWS]   (ROWS: how many rows of each sheet to print from the top; the last
row always)
"""
import datetime
import json
import sys

import openpyxl


def cell_json(cell):
    value = cell.value
    if isinstance(value, datetime.datetime):
        value = value.isoformat(timespec="milliseconds")
    elif isinstance(value, datetime.timedelta):
        value = value.total_seconds()
    elif isinstance(value, datetime.time):
        value = value.isoformat(timespec="milliseconds")
    return {"type": cell.data_type, "value": value, "format": cell.number_format,
            "bold": bool(cell.font and cell.font.b)}


def chart_json(chart):
    series = []
    for s in chart.series:
        series.append({"x": s.xVal.numRef.f if s.xVal and s.xVal.numRef else None,
                       "y": s.yVal.numRef.f if s.yVal and s.yVal.numRef else None})
    return {"type": type(chart).__name__, "series": series}


def main():
    path = sys.argv[1]
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    book = openpyxl.load_workbook(path)
    sheets = []
    for sheet in book.worksheets:
        rows = {}
        wanted = list(range(1, min(limit, sheet.max_row) + 1))
        if sheet.max_row not in wanted:
            wanted.append(sheet.max_row)
        for r in wanted:
            rows[str(r)] = [cell_json(c) for c in sheet[r]]
        columns = {k: {"width": d.width, "hidden": bool(d.hidden)}
                   for k, d in sheet.column_dimensions.items()}
        sheets.append({"name": sheet.title, "kind": "worksheet", "max_row": sheet.max_row,
                       "max_column": sheet.max_column, "freeze": sheet.freeze_panes,
                       "rows": rows, "columns": columns})
    for sheet in book.chartsheets:
        sheets.append({"name": sheet.title, "kind": "chartsheet",
                       "charts": [chart_json(c) for c in sheet._charts]})
    json.dump({"sheetnames": book.sheetnames, "sheets": sheets}, sys.stdout)


if __name__ == "__main__":
    main()
