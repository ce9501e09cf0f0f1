#!/usr/bin/env python3
"""Sets, in place, what wixl 0.101 writes into an MSI's summary information
by itself: the package code (a GUID it makes up, where the .wxs gives one)
and the times created and last saved (now). With the package code derived
from the version and the times from SOURCE_DATE_EPOCH, two builds of the
same sources give the same bytes. The values are the same length as the
ones they replace, so the file's structure does not move.

Usage: msi_summary.py MSI PACKAGE_CODE [SECONDS_SINCE_1970]
"""

import re
import sys

path, code = sys.argv[1], sys.argv[2].upper()
data = bytearray(open(path, "rb").read())
# The package code: a string property (VT_LPSTR, 0x1e) of 39 bytes, "{...}" and a zero.
found = list(re.finditer(rb"\x1e\x00\x00\x00\x27\x00\x00\x00\{[0-9A-F-]{36}\}\x00", data))
if len(found) != 1:
    sys.exit("msi_summary: the package code is not where it was expected in " + path)
start = found[0].start() + 8
data[start:start + 38] = ("{" + code + "}").encode()
if len(sys.argv) > 3:
    # The two times (VT_FILETIME, 0x40): 100 ns steps since 1601.
    ticks = (int(sys.argv[3]) + 11644473600) * 10_000_000
    times = list(re.finditer(rb"\x40\x00\x00\x00", data[start + 39:start + 39 + 40]))
    if len(times) < 2:
        sys.exit("msi_summary: the times are not where they were expected in " + path)
    for time in times[:2]:
        at = start + 39 + time.end()
        data[at:at + 8] = ticks.to_bytes(8, "little")
open(path, "wb").write(data)
