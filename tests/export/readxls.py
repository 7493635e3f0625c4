#!/usr/bin/env python3
"""Reads an .xls file with xlrd, an independent reader, and prints what the tests check as JSON.

usage: readxls.py FILE [ROWS]   (ROWS: how many rows to print from the top; the last row always)
"""
import json
import sys

import xlrd


def cell_json(book, sheet, r, c):
    cell = sheet.cell(r, c)
    xf = book.xf_list[cell.xf_index]
    fmt = book.format_map[xf.format_key].format_str
    value = cell.value
    if cell.ctype == xlrd.XL_CELL_DATE:
        value = list(xlrd.xldate_as_tuple(cell.value, book.datemode))
    return {"type": xlrd.sheet.ctype_text.get(cell.ctype, str(cell.ctype)), "value": value,
            "format": fmt}


def main():
    path = sys.argv[1]
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    book = xlrd.open_workbook(path, formatting_info=True)
    sheets = []
    for sheet in book.sheets():
        rows = {}
        wanted = list(range(min(limit, sheet.nrows)))
        if sheet.nrows and sheet.nrows - 1 not in wanted:
            wanted.append(sheet.nrows - 1)
        for r in wanted:
            rows[str(r)] = [cell_json(book, sheet, r, c) for c in range(sheet.row_len(r))]
        widths = {str(c): info.width for c, info in sheet.colinfo_map.items()}
        sheets.append({"name": sheet.name, "nrows": sheet.nrows, "ncols": sheet.ncols,
                       "rows": rows, "widths": widths})
    json.dump({"sheets": sheets}, sys.stdout)


if __name__ == "__main__":
    main()
