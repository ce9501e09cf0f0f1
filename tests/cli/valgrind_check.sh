#!/usr/bin/env bash
# Runs `sipcrypt encrypt` and then `decrypt` over 1,000 lines under
# valgrind's memcheck: any memory error or leak fails, and the lines must
# come back as they went in. Usage: valgrind_check.sh SIPCRYPT
set -euo pipefail
sipcrypt=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for i in $(seq 1000); do
  printf 'sip:user%d@proxy%d.example.net;p\xc3\xa4ss=%s\n' "$i" "$((i % 97))" "$(printf '%*s' $((i % 40)) '' | tr ' ' x)"
done >"$work/values.txt"
export SIP_KEY='Tr0ub4dor&3' SIPCRYPT_ENCODING=UTF-8
memcheck=(valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect)
"${memcheck[@]}" "$sipcrypt" encrypt --password-env SIP_KEY <"$work/values.txt" >"$work/texts.txt"
"${memcheck[@]}" "$sipcrypt" decrypt --password-env SIP_KEY <"$work/texts.txt" >"$work/back.txt"
cmp "$work/values.txt" "$work/back.txt"
echo "valgrind: encrypt and decrypt of 1000 lines, no errors"
