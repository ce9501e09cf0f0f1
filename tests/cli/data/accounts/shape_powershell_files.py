#!/usr/bin/env python3
"""Writes the powershell-*.csv and password-*.txt fixtures, byte for byte as
Windows PowerShell 5.1, PowerShell 7 and Notepad on Windows write them.

None of those runs here, so this script lays the bytes out itself. The
accounts are read back from libreoffice-comma-utf-8.csv: they are the
objects that `Import-Csv .\\libreoffice-comma-utf-8.csv -Encoding UTF8`
gives in PowerShell, one [pscustomobject] a row, every property a string
(an empty cell is an empty string, not $null), in column order.

What the CSV cmdlets do, in both versions:
- every field is quoted, the header names too; a quote inside a field is
  doubled; nothing else is escaped, so a line break or a tab inside a field
  is written as it is (here the LF that the note cells hold);
- an empty string is written as "" (only a $null property gives a bare
  empty field);
- each record is written with WriteLine, so it ends with Windows' CRLF,
  the last one too;
- Windows PowerShell 5.1 writes `#TYPE ` and the object's type name as the
  first line, unquoted, unless -NoTypeInformation is given; PowerShell 7
  leaves it out unless -IncludeTypeInformation is given.

Encodings: 5.1's `-Encoding UTF8` is UTF-8 with a BOM; 5.1's Out-File and
`>` write UTF-16 LE with a BOM ("Unicode"), each string piped in followed by
CRLF, a string's own line breaks left as they are; PowerShell 7 writes
UTF-8 without a BOM by default.
"""
import csv
import pathlib

here = pathlib.Path(__file__).resolve().parent
CRLF = "\r\n"
TYPE_LINE = "#TYPE System.Management.Automation.PSCustomObject"

with open(here / "libreoffice-comma-utf-8.csv", encoding="utf-8", newline="") as source:
    header, *accounts = list(csv.reader(source))


def quoted(field):
    return '"' + field.replace('"', '""') + '"'


def csv_lines(with_type_line):
    lines = [TYPE_LINE] if with_type_line else []
    lines.append(",".join(quoted(name) for name in header))
    lines.extend(",".join(quoted(field) for field in row) for row in accounts)
    return lines


def write(name, text, encoding, bom=b""):
    (here / name).write_bytes(bom + text.encode(encoding))


# Windows PowerShell 5.1:
#   Import-Csv ... | Export-Csv .\powershell-5.1-export-csv-utf8.csv -Encoding UTF8
write("powershell-5.1-export-csv-utf8.csv",
      "".join(line + CRLF for line in csv_lines(True)), "utf-8", b"\xef\xbb\xbf")

# Windows PowerShell 5.1:
#   Import-Csv ... | ConvertTo-Csv | Out-File .\powershell-5.1-convertto-csv-out-file.csv
# ConvertTo-Csv sends one string a record; Out-File writes each with CRLF.
write("powershell-5.1-convertto-csv-out-file.csv",
      "".join(line + CRLF for line in csv_lines(True)), "utf-16-le", b"\xff\xfe")

# PowerShell 7 on Windows:
#   Import-Csv ... | Export-Csv .\powershell-7-export-csv.csv
write("powershell-7-export-csv.csv",
      "".join(line + CRLF for line in csv_lines(False)), "utf-8")

# Windows PowerShell 5.1:  "secret" > password-powershell-5.1-redirect.txt
write("password-powershell-5.1-redirect.txt", "secret" + CRLF, "utf-16-le", b"\xff\xfe")

# Notepad: type secret (no Enter), Save As, Encoding "UTF-8 with BOM".
write("password-notepad-utf-8-bom.txt", "secret", "utf-8", b"\xef\xbb\xbf")
