#!/usr/bin/env bash
# The C API against OpenSSL doing the same job, values of 8 and 32 bytes,
# one call a value and in batches of 1,000; then the Python module against
# a pycryptodome loop on 1,000,000 values. Prints values/s and the ratios.
# Usage: bench/run_library_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bench/build.sh library_bench sipcrypt_library
json=$(mktemp)
trap 'rm -f "$json"' EXIT
build-bench/bench/library_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_format=json >"$json"
/usr/bin/python3 - "$json" <<'PY'
import json, sys
rates = {b["run_name"]: b["items_per_second"] for b in json.load(open(sys.argv[1]))["benchmarks"]
         if b.get("aggregate_name") == "median"}
for size in (8, 32):
    theirs = rates[f"openssl_same_job/{size}"]
    for way in ("one_at_a_time", "batch"):
        ours = rates[f"library_{way}/{size}"]
        print(f"{size:>2} B, {way.replace('_', ' '):<14} {ours / 1e6:6.2f} M values/s, "
              f"OpenSSL {theirs / 1e6:6.2f} M: {ours / theirs:.2f}x")
PY
SIPCRYPT_LIBRARY=$PWD/build-bench/lib/libsipcrypt.so PYTHONPATH=$PWD/lib/python \
  /usr/bin/python3 bench/python_module_bench.py
