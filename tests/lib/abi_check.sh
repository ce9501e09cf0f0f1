#!/usr/bin/env bash
# The library's ABI against the committed baseline (libabigail): any change
# to what the baseline has fails; added functions do not. After an intended
# change of the ABI (a new soname), or an addition, make a new baseline:
#   abidw --headers-dir lib --no-corpus-path --out-file lib/abi/libsipcrypt.abi \
#     build/lib/libsipcrypt.so
#   abi_check.sh BASELINE LIBRARY
set -uo pipefail
headers=$(dirname "$0")/../../lib
abidiff --no-added-syms --headers-dir1 "$headers" --headers-dir2 "$headers" "$1" "$2"
status=$?
if ((status != 0)); then
  echo "abi: the library's ABI differs from the baseline $1 (abidiff status $status)"
  exit 1
fi
echo "abi: the same as the baseline"
