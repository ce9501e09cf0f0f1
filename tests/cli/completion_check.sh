#!/usr/bin/env bash
# The bash completion, run as bash runs it: COMP_WORDS set, the function
# called, COMPREPLY read. Usage: completion_check.sh COMPLETION SIPCRYPT
set -euo pipefail
# shellcheck source=/dev/null
source "$1"
tool=$2
failures=0
cases=0
# expect WORDS... -- EXPECTED...: the words typed, the last one being
# completed, and what COMPREPLY must hold (in any order).
expect() {
    local words=() expected=()
    while [[ $1 != -- ]]; do words+=("$1"); shift; done
    shift
    expected=("$@")
    cases=$((cases + 1))
    COMP_WORDS=("$tool" "${words[@]}")
    COMP_CWORD=${#words[@]}
    _sipcrypt
    local got want
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort)
    want=$(printf '%s\n' "${expected[@]}" | sort)
    if [[ "$got" != "$want" ]]; then
        echo "bash completion of '${words[*]}': got [${got//$'\n'/ }], want [${want//$'\n'/ }]"
        failures=$((failures + 1))
    fi
}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
touch "$folder/accounts.csv" "$folder/accounts.txt"

expect acc -- accounts
expect "" -- encrypt decrypt accounts --help --version --list-encodings
expect accounts --de -- --decrypt --delimiter
expect encrypt --de -- 
expect encrypt --encoding windows-125 -- WINDOWS-1250 WINDOWS-1251 WINDOWS-1252 WINDOWS-1253 \
    WINDOWS-1254 WINDOWS-1255 WINDOWS-1256 WINDOWS-1257 WINDOWS-1258
expect accounts --input-encoding SHIFT -- SHIFT_JIS
expect accounts -i "$folder/accounts.c" -- "$folder/accounts.csv"
expect accounts --delimiter t -- tab
expect decrypt --in -- --input
expect accounts --format "" -- csv tsv
expect accounts --input-encoding utf-16 -- UTF-16LE UTF-16BE
(( failures == 0 )) && echo "bash completion: $cases cases as expected"
exit $((failures > 0))
