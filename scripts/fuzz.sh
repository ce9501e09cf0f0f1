#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 30) on the committed seed corpus. New inputs go to a scratch corpus, so the
# committed one only changes by hand. Any finding fails the run and is kept
# in build-fuzz/findings/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]    targets: base64_decode decrypt
#                                            round_trip encoding csv_accounts
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(base64_decode decrypt round_trip encoding csv_accounts)

scripts/setup.sh --fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Quiet unless the build fails; then everything it said.
if ! { CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DSIPCRYPT_BUILD_FUZZERS=ON -DSIPCRYPT_BUILD_GUI=OFF -DSIPCRYPT_BUILD_TESTS=OFF &&
       cmake --build build-fuzz; } >"$scratch/build.log" 2>&1; then
  cat "$scratch/build.log" >&2
  echo "fuzz: the build failed" >&2
  exit 1
fi
mkdir -p build-fuzz/findings
failed=0
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  log="$scratch/$target.log"
  # -close_fd_mask=2: the targets' own messages on standard error are noise
  # here; libFuzzer keeps its reports.
  if build-fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
      -close_fd_mask=2 -artifact_prefix=build-fuzz/findings/"$target"- \
      "$scratch/$target" fuzz/corpus/"$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} runs in ${seconds} s, no findings"
  else
    echo "fuzz $target: FINDING"
    tail -n 40 "$log"
    failed=1
  fi
done
exit "$failed"
