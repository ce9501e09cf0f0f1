#!/usr/bin/env fish
# The fish completion, as fish finds it: by its name in a folder on
# fish_complete_path, loaded when "sipcrypt" is first completed; complete -C
# gives what TAB would offer after each line.
# Usage: fish --no-config completion_check.fish COMPLETION(sipcrypt.fish) SIPCRYPT
set -l completion (path resolve -- $argv[1])
set -l tool (path resolve -- $argv[2])
set -g cases_file (path dirname -- (status filename))/completion_cases.txt
if test (count $argv) -ne 2; or test (path basename -- $completion) != sipcrypt.fish
    or test (path basename -- $tool) != sipcrypt
    echo "usage: completion_check.fish .../sipcrypt.fish .../sipcrypt" >&2
    exit 2
end
set -p fish_complete_path (path dirname -- $completion)
set -p PATH (path dirname -- $tool)
set -gx SIPCRYPT_COMPLETION_CHECK set
set -g folder (mktemp -d)
function remove_folder --on-event fish_exit
    rm -rf $folder
end
touch $folder/accounts.csv $folder/accounts.txt
cd $folder

set -g failures 0
set -g cases 0
# expect WORDS... -- EXPECTED...: the words typed after "sipcrypt", the last
# one being completed, and what completion offers (in any order).
function expect
    set -l at (contains -i -- -- $argv)
    set -l words $argv[1..(math $at - 1)]
    set -l expected $argv[(math $at + 1)..-1]
    set cases (math $cases + 1)
    # Each offer is "WORD<tab>DESCRIPTION".
    set -l line (string join ' ' -- sipcrypt (string escape -- $words[1..-2]) $words[-1])
    set -l got (complete -C -- $line | string replace -r '\t.*' '' | sort | string join ' ')
    set -l want (printf '%s\n' $expected | sort | string join ' ')
    if test "$got" != "$want"
        echo "fish completion of '$words': got [$got], want [$want]"
        set failures (math $failures + 1)
    end
end

while read -l line
    string match -qr '^(#|$)' -- $line; or eval expect $line
end <$cases_file
test $failures -eq 0; and echo "fish completion: $cases cases as expected"
exit (math "min($failures, 1)")
