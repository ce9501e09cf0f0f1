"""Encrypts each line of standard input under the password in SIP_KEY, as the
decrypting program reads it in WINDOWS-1252, and prints one text a line:
    SIP_KEY=secret python3 example.py < values.txt
"""
import os
import sys

import sipcrypt

with sipcrypt.Cipher(os.environ["SIP_KEY"], encoding="WINDOWS-1252") as cipher:
    values = sys.stdin.read().splitlines()
    try:
        print("\n".join(cipher.encrypt_many(values)))
    except sipcrypt.Error as refused:
        sys.exit(f"example: line {refused.index + 1}: {refused.message}")
