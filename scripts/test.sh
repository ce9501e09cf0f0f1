#!/usr/bin/env bash
# Builds everything and runs every test, on a fresh Debian 12 machine too:
#   1. the normal build and all its tests (valgrind included);
#   2. the same tests in a build with AddressSanitizer and UBSan;
#   3. each fuzzer on its committed corpus, then a fixed number of inputs
#      from a fixed seed: the same work and the same answer on every run;
#   4. the Windows build, cross-compiled, and its tests under Wine;
#   5. the Debian package, built and checked with lintian,
#      desktop-file-validate and appstreamcli.
# scripts/test.sh --quick does step 1 only.
set -euo pipefail
cd "$(dirname "$0")/.."

log=$(mktemp)
trap 'rm -f "$log"' EXIT
passed=0
skipped=0
# Adds what a CTest run in $log counted to the totals.
count_tests() {
  local total skips
  total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")
  skips=$(grep -c '(Skipped)$' "$log" || true)
  passed=$((passed + ${total:-0} - skips))
  skipped=$((skipped + skips))
}
run_tests() {
  ctest --test-dir "$1" --output-on-failure | tee "$log"
  count_tests
}

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
run_tests build

if [[ "${1:-}" != "--quick" ]]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIPCRYPT_SANITIZE=ON
  cmake --build build-asan
  # A sanitizer finding must never pass for an ordinary refusal (exit status 1).
  export ASAN_OPTIONS=exitcode=86:detect_leaks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_tests build-asan

  scripts/fuzz.sh --replay | tee "$log"
  passed=$((passed + $(grep -c 'no findings' "$log")))

  scripts/test-windows.sh | tee "$log"
  count_tests

  scripts/package.sh | tee "$log"
  passed=$((passed + $(grep -c '^package: sipcrypt, sipcrypt-gui, libsipcrypt0, libsipcrypt-dev, python3-sipcrypt and the source: lintian' "$log")))
fi
echo "tests: $passed passed, $skipped skipped, 0 failed"
