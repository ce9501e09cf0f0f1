#!/usr/bin/env python3
"""Prints this project's cipher timings as ratios to OpenSSL's, from one run
of cipher_bench with --benchmark_format=json (read from a file or stdin)."""

import json
import sys

# (what, ours, OpenSSL's, how the ratio reads, target)
PAIRS = [
    ("key schedule", "ours_key_schedule", "openssl_key_schedule", "time", 1.0),
    ("encrypt one block", "ours_encrypt_block", "openssl_encrypt_block", "time", None),
    ("encrypt 8 B", "ours_encrypt_buffer/8", "openssl_encrypt_buffer/8", "speed", None),
    ("encrypt 32 B", "ours_encrypt_buffer/32", "openssl_encrypt_buffer/32", "speed", None),
    ("encrypt 4 KiB", "ours_encrypt_buffer/4096", "openssl_encrypt_buffer/4096", "speed", None),
    ("encrypt 64 KiB", "ours_encrypt_buffer/65536", "openssl_encrypt_buffer/65536", "speed", 2.5),
    ("decrypt 64 KiB", "ours_decrypt_buffer/65536", "openssl_encrypt_buffer/65536", "speed", None),
]


def main() -> int:
    source = open(sys.argv[1]) if len(sys.argv) > 1 else sys.stdin
    report = json.load(source)
    times = {}
    for b in report["benchmarks"]:
        if b.get("aggregate_name", "median") != "median":
            continue
        name = b.get("run_name", b["name"])
        times[name] = b["real_time"]  # ns, as the benchmark reports it

    ok = True
    print(f"{'what':<20}{'ours':>14}{'OpenSSL':>14}{'ratio':>10}  target")
    for what, ours, theirs, kind, target in PAIRS:
        if ours not in times or theirs not in times:
            continue
        if kind == "time":
            ratio = times[ours] / times[theirs]
            label = f"{ratio:.2f}x time"
            met = target is None or ratio <= target
            goal = f"<= {target:.1f}x" if target else ""
        else:
            ratio = times[theirs] / times[ours]
            label = f"{ratio:.2f}x speed"
            met = target is None or ratio >= target
            goal = f">= {target:.1f}x" if target else ""
        ok &= met
        mark = "" if not goal else ("met" if met else "MISSED")
        print(f"{what:<20}{times[ours]:>11.1f} ns{times[theirs]:>11.1f} ns{label:>16}  {goal} {mark}")
    for name in ("ours_encrypt_parameter", "ours_encrypt_parameter_keyed_once",
                 "ours_base64_encode/24", "ours_base64_encode/3744"):
        if name in times:
            print(f"{name:<40}{times[name]:>11.1f} ns")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
