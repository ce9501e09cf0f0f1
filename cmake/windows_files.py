#!/usr/bin/env python3
"""The files that the Windows MSI and ZIP install: staged in one folder under
their installed names, signed when a certificate is given, and packed into
the ZIP, so that two builds of the same sources give the same bytes.

  windows_files.py stage MANIFEST FOLDER [SIGNING]
  windows_files.py zip MANIFEST FOLDER ZIP
  windows_files.py sign FILE [SIGNING]
  windows_files.py epoch

MANIFEST has one line per file, NAME|KIND|SOURCE, in the order the ZIP
keeps. KIND is "code" (a program or DLL, signed when SIGNING names a
certificate), "text" (UTF-8, installed with CRLF line ends, and with a
byte-order mark where it is not plain ASCII, so that Notepad and Windows
PowerShell 5.1 read it as UTF-8) or "data" (as it is).

SIGNING: --certificate FILE --key FILE [--password-file FILE]
[--timestamp-url URL]; an empty certificate means no signing.

Every file gets the time of SOURCE_DATE_EPOCH, or of the last entry of
debian/changelog where that is not set.
"""

import argparse
import calendar
import email.utils
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path


def epoch():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    changelog = Path(__file__).resolve().parent.parent / "debian" / "changelog"
    for line in changelog.read_text(encoding="utf-8").splitlines():
        # " -- Name <mail>  Tue, 08 Dec 2026 12:00:00 +0000"
        if line.startswith(" -- ") and "  " in line[4:]:
            stamp = email.utils.parsedate_tz(line[4:].split("  ", 1)[1])
            if stamp:
                return calendar.timegm(stamp[:9]) - (stamp[9] or 0)
    sys.exit("windows_files: no date in " + str(changelog))


def read_manifest(path):
    entries = []
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        if not line.strip():
            continue
        name, kind, source = line.split("|", 2)
        if kind not in ("code", "text", "data"):
            sys.exit(f"windows_files: {name}: unknown kind {kind!r}")
        entries.append((name, kind, source))
    names = [name.lower() for name, _, _ in entries]
    if len(set(names)) != len(names):
        sys.exit("windows_files: a name is listed twice in " + path)
    return entries


def sign(path, options):
    if not options.certificate:
        return
    command = ["osslsigncode", "sign", "-certs", options.certificate, "-key", options.key,
               "-h", "sha256", "-n", "sipcrypt"]
    if options.password_file:
        command += ["-readpass", options.password_file]
    if options.timestamp_url:
        command += ["-ts", options.timestamp_url]
    elif os.environ.get("SOURCE_DATE_EPOCH"):
        # The signing time is part of the signed bytes: a fixed one lets a
        # signed build repeat too. A time stamp, by its nature, cannot.
        command += ["-time", os.environ["SOURCE_DATE_EPOCH"]]
    signed = str(path) + ".signed"
    result = subprocess.run(command + ["-in", str(path), "-out", signed],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        Path(signed).unlink(missing_ok=True)
        sys.exit(f"windows_files: osslsigncode could not sign {path}:\n{result.stdout}")
    os.replace(signed, path)


def stage(options):
    entries = read_manifest(options.manifest)
    folder = Path(options.folder)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    when = epoch()
    for name, kind, source in entries:
        data = Path(source).read_bytes()
        if kind == "text":
            try:
                data.decode("utf-8")
            except UnicodeDecodeError as error:
                sys.exit(f"windows_files: {source} is not UTF-8: {error}")
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            if not data.endswith(b"\r\n"):
                data += b"\r\n"
            if not data.isascii() and not data.startswith(b"\xef\xbb\xbf"):
                data = b"\xef\xbb\xbf" + data
        target = folder / name
        target.write_bytes(data)
        if kind == "code":
            sign(target, options)
        # Neither umask nor the clock of the build reaches the packages.
        os.chmod(target, 0o644)
        os.utime(target, (when, when))


def pack(options):
    entries = read_manifest(options.manifest)
    folder = Path(options.folder)
    when = max(epoch(), 315532800)  # a ZIP cannot hold a time before 1980
    date_time = time.gmtime(when)[:6]
    with tempfile.NamedTemporaryFile(dir=Path(options.zip).parent, delete=False) as out:
        with zipfile.ZipFile(out, "w") as archive:
            for name, _, _ in entries:
                info = zipfile.ZipInfo(name, date_time)
                info.create_system = 0  # FAT: no owner or mode to differ
                info.external_attr = 0x20  # the archive bit, as Windows sets it
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, (folder / name).read_bytes(), compresslevel=9)
    os.chmod(out.name, 0o644)
    os.replace(out.name, options.zip)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    verbs = parser.add_subparsers(dest="verb", required=True)

    def signing(command):
        command.add_argument("--certificate", default="")
        command.add_argument("--key", default="")
        command.add_argument("--password-file", default="")
        command.add_argument("--timestamp-url", default="")

    command = verbs.add_parser("stage")
    command.add_argument("manifest")
    command.add_argument("folder")
    signing(command)
    command = verbs.add_parser("zip")
    command.add_argument("manifest")
    command.add_argument("folder")
    command.add_argument("zip")
    command = verbs.add_parser("sign")
    command.add_argument("file")
    signing(command)
    verbs.add_parser("epoch")
    options = parser.parse_args()

    if getattr(options, "certificate", "") and not options.key:
        sys.exit("windows_files: a certificate needs its key (--key)")
    if options.verb == "stage":
        stage(options)
    elif options.verb == "zip":
        pack(options)
    elif options.verb == "sign":
        sign(options.file, options)
    else:
        print(epoch())


if __name__ == "__main__":
    main()
