#!/usr/bin/env python3
"""Writes the python-*.csv fixtures with Python's own csv module.

The rows are read back from libreoffice-comma-utf-8.csv, so every fixture
holds the same accounts as the sheet they all come from.
"""
import csv
import pathlib

here = pathlib.Path(__file__).resolve().parent

with open(here / "libreoffice-comma-utf-8.csv", encoding="utf-8", newline="") as source:
    rows = list(csv.reader(source))

for dialect, name in (("excel", "python-excel-utf-8.csv"),
                      ("excel-tab", "python-excel-tab-utf-8.csv")):
    with open(here / name, "w", encoding="utf-8", newline="") as out:
        csv.writer(out, dialect=dialect).writerows(rows)
