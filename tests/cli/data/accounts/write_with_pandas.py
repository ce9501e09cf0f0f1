#!/usr/bin/env python3
"""Writes pandas-utf-16-le.csv with pandas: UTF-16 little-endian without a
byte-order mark, as `DataFrame.to_csv(encoding="utf-16-le")` writes it.

The rows are read back from libreoffice-comma-utf-8.csv, every cell as text.
"""
import pathlib

import pandas

here = pathlib.Path(__file__).resolve().parent

frame = pandas.read_csv(here / "libreoffice-comma-utf-8.csv", dtype=str, keep_default_na=False)
frame.to_csv(here / "pandas-utf-16-le.csv", index=False, encoding="utf-16-le")
