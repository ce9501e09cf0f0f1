#!/usr/bin/python3
"""The same job as `sipcrypt encrypt` in Python with pycryptodome, for the
comparison in cli_bench.sh: one keyed cipher, each line of standard input
encrypted in this project's format and printed as Base64."""

import base64
import sys

from Cryptodome.Cipher import Blowfish


def halves_reversed(data: bytes) -> bytes:
    # This format reads each 4-byte half of a block little-endian; the
    # library's Blowfish reads them big-endian.
    out = bytearray(data)
    for i in range(0, len(out), 4):
        out[i:i + 4] = out[i:i + 4][::-1]
    return bytes(out)


def main() -> None:
    password = sys.argv[1].encode()
    cipher = Blowfish.new(password, Blowfish.MODE_ECB)
    out = sys.stdout.buffer
    for line in sys.stdin.buffer:
        value = line.rstrip(b"\r\n")
        if not value:
            out.write(b"\n")
            continue
        padded = value + b"\0" * (-len(value) % 8)
        encrypted = halves_reversed(cipher.encrypt(halves_reversed(padded)))
        out.write(base64.b64encode(encrypted) + b"\n")


if __name__ == "__main__":
    main()
