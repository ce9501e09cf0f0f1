#!/usr/bin/env bash
# Builds the cipher benchmarks and prints each figure as a ratio to OpenSSL's
# Blowfish, measured in the same run. Usage: bench/run_cipher_bench.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
bench/build.sh cipher_bench
json=$(mktemp)
trap 'rm -f "$json"' EXIT
build-bench/bench/cipher_bench --benchmark_repetitions="${1:-5}" \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$json"
python3 bench/cipher_ratios.py "$json"
