#!/usr/bin/env bash
# Builds the cipher benchmarks and prints each figure as a ratio to OpenSSL's
# Blowfish, measured in the same run. Usage: bench/run_cipher_bench.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DSIPCRYPT_BUILD_BENCHMARKS=ON -DSIPCRYPT_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target cipher_bench >/dev/null
json=$(mktemp)
trap 'rm -f "$json"' EXIT
build-bench/bench/cipher_bench --benchmark_repetitions="${1:-5}" \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$json"
python3 bench/cipher_ratios.py "$json"
