#!/usr/bin/env python3
"""Reads a CSV file with Python's csv module, an independent reader, and prints it as JSON.

usage: readcsv.py FILE
Prints {"rows": [[cell, ...], ...], "bom": bool, "crlf": bool, "bare_lf": bool}.
"""
import csv
import json
import sys


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        raw = f.read()
    # Strict UTF-8: a wrongly encoded file fails here instead of comparing garbled text.
    raw.decode("utf-8")
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f, strict=True))
    # Line ends outside quoted fields: every record must end in CRLF.
    outside = []
    quoted = False
    for ch in raw.decode("utf-8"):
        if ch == '"':
            quoted = not quoted
        elif not quoted:
            outside.append(ch)
    text = "".join(outside)
    json.dump({"rows": rows, "bom": raw.startswith(b"\xef\xbb\xbf"),
               "crlf": text.endswith("\r\n") and text.count("\n") == text.count("\r\n"),
               "bare_lf": text.count("\n") != text.count("\r\n")}, sys.stdout)


if __name__ == "__main__":
    main()
