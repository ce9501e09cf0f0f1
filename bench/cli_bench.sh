#!/usr/bin/env bash
# Times `sipcrypt encrypt` on 1,000,000 values of 20 to 40 bytes against a
# Python script using pycryptodome with one keyed cipher, in the same run,
# checks that both give the same texts, and prints values/s for each. Then
# the same values through Windows' code pages 1252 and 932 (the same bytes
# for ASCII, so the same texts) against UTF-8; and, where the Windows build
# is there (build-windows/), the Windows program under Wine with its default,
# the ANSI code page, against its own UTF-8, start-up taken off. Time on a
# shared machine varies by a tenth or more from run to run, so the encodings
# are also compared by instructions counted (callgrind).
# Usage: bench/cli_bench.sh [LINES]
set -euo pipefail
cd "$(dirname "$0")/.."
lines=${1:-1000000}
bench/build.sh sipcrypt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$lines" >"$work/values.txt" <<'PY'
import random, sys
random.seed(2026)
alphabet = "abcdefghijklmnopqrstuvwxyz0123456789.-"
write = sys.stdout.write
for i in range(int(sys.argv[1])):
    user = "".join(random.choices(alphabet, k=random.randint(4, 14)))
    host = "".join(random.choices(alphabet, k=random.randint(8, 18)))
    write(("sip:" + user + "@" + host + ".example")[:random.randint(20, 40)].ljust(20, "x") + "\n")
PY
export BENCH_KEY='Tr0ub4dor&3'

# Best of three, each a whole run over the file, output to a file.
best() {
  local best_ns=
  for _ in 1 2 3; do
    local start end
    start=$(date +%s%N)
    "$@" <"$work/values.txt" >"$work/out.txt"
    end=$(date +%s%N)
    if [[ -z "$best_ns" || $((end - start)) -lt $best_ns ]]; then best_ns=$((end - start)); fi
  done
  echo "$best_ns"
}

ours_ns=$(best build-bench/cli/sipcrypt encrypt --password-env BENCH_KEY)
cp "$work/out.txt" "$work/ours.txt"
python_ns=$(best /usr/bin/python3 bench/python_encrypt.py "$BENCH_KEY")
cmp -s "$work/ours.txt" "$work/out.txt" || { echo "the outputs differ" >&2; exit 1; }
memory_kb=$( { /usr/bin/time -f '%M' build-bench/cli/sipcrypt encrypt --password-env BENCH_KEY \
  <"$work/values.txt" >/dev/null; } 2>&1 )

rate() { echo $(( lines * 1000000000 / $1 )); }
ours_rate=$(rate "$ours_ns")
python_rate=$(rate "$python_ns")
echo "values:               $lines, 20 to 40 bytes, identical output"
echo "sipcrypt encrypt:     $ours_rate values/s  (peak memory ${memory_kb} KiB)"
echo "python pycryptodome:  $python_rate values/s"
echo "ratio:                $(( ours_rate * 10 / python_rate / 10 )).$(( ours_rate * 10 / python_rate % 10 ))x"

echo
# Five rounds, the encodings taking turns in each, so that a busy moment of
# the machine falls on all of them alike; the best run of each counts.
declare -A page_ns=()
for _ in 1 2 3 4 5; do
  for page in UTF-8 WINDOWS-1252 CP932; do
    start=$(date +%s%N)
    build-bench/cli/sipcrypt encrypt --password-env BENCH_KEY --encoding "$page" \
      <"$work/values.txt" >"$work/$page.txt"
    end=$(date +%s%N)
    ns=$((end - start))
    if [[ -z "${page_ns[$page]:-}" || $ns -lt ${page_ns[$page]} ]]; then page_ns[$page]=$ns; fi
  done
done
utf8_ns=${page_ns[UTF-8]}
cp "$work/UTF-8.txt" "$work/utf8.txt"
for page in WINDOWS-1252 CP932; do
  cmp -s "$work/utf8.txt" "$work/$page.txt" || { echo "$page gives other texts" >&2; exit 1; }
  echo "--encoding $page:$(printf '%*s' $((14 - ${#page})) '')$(rate "${page_ns[$page]}") values/s, $(( page_ns[$page] * 100 / utf8_ns ))% of UTF-8's time ($(rate "$utf8_ns") values/s)"
done

# Instructions counted by callgrind over the first 100,000 values: unlike
# time, the same on a busy machine as on a quiet one.
if command -v valgrind >/dev/null; then
  head -n 100000 "$work/values.txt" >"$work/counted.txt"
  declare -A page_ir=()
  for page in UTF-8 WINDOWS-1252 CP932; do
    page_ir[$page]=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      build-bench/cli/sipcrypt encrypt --password-env BENCH_KEY --encoding "$page" \
      <"$work/counted.txt" 2>&1 >/dev/null | sed -n 's/.*Collected : //p')
  done
  for page in WINDOWS-1252 CP932; do
    echo "--encoding $page:$(printf '%*s' $((14 - ${#page})) '')$(( page_ir[$page] * 1000 / page_ir[UTF-8] / 10 )).$(( page_ir[$page] * 1000 / page_ir[UTF-8] % 10 ))% of UTF-8's instructions (callgrind, 100,000 values)"
  done
fi

exe=build-windows/cli/sipcrypt.exe
if [[ -x /usr/bin/wine && -f "$exe" ]]; then
  export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all
  wineserver -p  # stays up, so that no run pays for starting it
  wine "$exe" --version >/dev/null
  # A run over nothing: what starting the program costs, taken off each run.
  : >"$work/empty.txt"
  startup() {
    local best_ns= start end
    for _ in 1 2 3; do
      start=$(date +%s%N)
      "$@" <"$work/empty.txt" >/dev/null
      end=$(date +%s%N)
      if [[ -z "$best_ns" || $((end - start)) -lt $best_ns ]]; then best_ns=$((end - start)); fi
    done
    echo "$best_ns"
  }
  start_ns=$(startup wine "$exe" encrypt --password-env BENCH_KEY)
  # Taking turns, as above: the default, then UTF-8, five times.
  ansi_ns= wine_utf8_ns=
  for _ in 1 2 3 4 5; do
    for run in ansi utf8; do
      extra=()
      [[ $run == utf8 ]] && extra=(--encoding UTF-8)
      start=$(date +%s%N)
      wine "$exe" encrypt --password-env BENCH_KEY "${extra[@]}" <"$work/values.txt" >"$work/wine-$run.txt"
      ns=$(( $(date +%s%N) - start - start_ns ))
      if [[ $run == ansi ]]; then
        if [[ -z "$ansi_ns" || $ns -lt $ansi_ns ]]; then ansi_ns=$ns; fi
      elif [[ -z "$wine_utf8_ns" || $ns -lt $wine_utf8_ns ]]; then wine_utf8_ns=$ns; fi
    done
  done
  cmp -s "$work/wine-ansi.txt" "$work/wine-utf8.txt" || { echo "the Windows build's texts differ" >&2; exit 1; }
  cmp -s "$work/utf8.txt" "$work/wine-utf8.txt" || { echo "Windows and Linux texts differ" >&2; exit 1; }
  echo "Windows build, Wine:  default (ANSI code page) $(rate "$ansi_ns") values/s, UTF-8 $(rate "$wine_utf8_ns") values/s: $(( ansi_ns * 100 / wine_utf8_ns ))% of UTF-8's time (start-up of $(( start_ns / 1000000 )) ms taken off)"
  wineserver -k
fi
