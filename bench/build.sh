#!/usr/bin/env bash
# What every benchmark starts with: the packages it needs, and TARGETS built
# in build-bench/ (Release, with the benchmarks, without the tests).
# Usage: bench/build.sh TARGET...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DSIPCRYPT_BUILD_BENCHMARKS=ON -DSIPCRYPT_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target "$@" >/dev/null
