#!/usr/bin/env bash
# Builds everything and runs every test, on a fresh Debian 12 machine too:
#   1. the normal build and all its tests (valgrind included);
#   2. the same tests in a build with AddressSanitizer and UBSan;
#   3. each fuzzer for a short while on the committed corpora.
# scripts/test.sh --quick does step 1 only.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure
[[ "${1:-}" == "--quick" ]] && exit 0

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIPCRYPT_SANITIZE=ON
cmake --build build-asan
# A sanitizer finding must never pass for an ordinary refusal (exit status 1).
export ASAN_OPTIONS=exitcode=86:detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure

scripts/fuzz.sh "${SIPCRYPT_FUZZ_SECONDS:-20}"
