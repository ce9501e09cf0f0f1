#!/usr/bin/env bash
# The libFuzzer targets, built with clang, in two modes:
#
#   scripts/fuzz.sh --replay [TARGET...]
#       What the test command runs: each target replays its committed corpus,
#       then runs a fixed number of inputs from a fixed seed, with address
#       randomisation off. Every run of the same commit does the same work
#       and gives the same answer.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#       A random campaign, run by hand: each target for SECONDS (default 30)
#       from a new seed. New inputs go to a scratch corpus, so the committed
#       one only changes by hand: minimise a finding (-minimize_crash=1), fix
#       it, and commit its input to fuzz/corpus/TARGET/ so that every replay
#       runs it from then on.
#
# Targets: base64_decode decrypt round_trip encoding csv_accounts c_api. Any finding
# fails the run and is kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

# Inputs each target runs in a replay, after its corpus: about 40 s in all here.
declare -A replay_runs=([base64_decode]=400000 [decrypt]=80000 [round_trip]=40000
                        [encoding]=200000 [csv_accounts]=25000 [c_api]=30000)

mode=campaign
seconds=30
if [[ "${1:-}" == "--replay" ]]; then
  mode=replay
  # The sanitizers' settings change what a run covers: the same whoever calls.
  export ASAN_OPTIONS=exitcode=86:detect_leaks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(base64_decode decrypt round_trip encoding csv_accounts c_api)

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
  if [[ "$mode" == replay ]]; then
    # No reloading of the corpus mid-run and no address randomisation: both
    # would let one run differ from the next.
    run=(setarch "$(uname -m)" -R build-fuzz/fuzz/"${target}"_fuzzer -seed=1
         -runs="${replay_runs[$target]}" -reload=0)
  else
    run=(build-fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds")
  fi
  # -close_fd_mask=2: the targets' own messages on standard error are noise
  # here; libFuzzer keeps its reports.
  if "${run[@]}" -print_final_stats=1 -close_fd_mask=2 \
      -artifact_prefix=build-fuzz/findings/"$target"- \
      "$scratch/$target" fuzz/corpus/"$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(sed -n 's/^.*DONE *cov: \([0-9]*\).*/\1/p' "$log" | tail -n 1)
    if [[ "$mode" == replay ]]; then
      echo "fuzz $target: ${runs:-?} inputs from seed 1, ${coverage:-?} edges covered, no findings"
    else
      echo "fuzz $target: ${runs:-?} runs in ${seconds} s, no findings"
    fi
  else
    echo "fuzz $target: FINDING"
    tail -n 40 "$log"
    failed=1
  fi
done
exit "$failed"
