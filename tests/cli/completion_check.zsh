#!/usr/bin/env zsh
# The zsh completion, as zsh runs it: an interactive zsh in a pseudo-terminal
# with compinit and the completion on its fpath, and TAB typed after each
# line. Each match that completion adds is written to a file, by a compadd
# that records what the builtin would add and then adds it.
# Usage: completion_check.zsh COMPLETION(_sipcrypt) SIPCRYPT
emulate -R zsh
setopt err_exit no_unset
zmodload zsh/zpty

completion=${1:A} tool=${2:A} cases_file=${0:A:h}/completion_cases.txt
[[ ${completion:t} == _sipcrypt && ${tool:t} == sipcrypt ]] || {
  print -u2 "usage: completion_check.zsh .../_sipcrypt .../sipcrypt"
  exit 2
}
export SIPCRYPT_COMPLETION_CHECK=set  # a variable for --password-env to offer
folder=$(mktemp -d)
trap 'zpty -d shell 2>/dev/null; rm -rf $folder' EXIT
touch $folder/accounts.csv $folder/accounts.txt
found=$folder/found
cd $folder

# The shell starts in the folder, with no startup files. Its prompt is
# "ZLE> ", written so that the line that sets it does not show it: seeing it
# means the line editor waits for keys (keys typed before are thrown away).
zpty shell 'ZDOTDIR=/nonexistent zsh -f -i'
zpty -w shell "PS1=\$'\\132LE> ' RPS1= ; unsetopt beep auto_list;\
 fpath=(${(q)completion:h} \$fpath); path=(${(q)tool:h} \$path)"
zpty -w shell "compadd() {
  if (( \${@[(I)-[ODA]*]} )); then builtin compadd \"\$@\"; return; fi
  local -a adds; builtin compadd -O adds \"\$@\"
  (( \$#adds )) && print -rl -- \$adds >> ${(q)found}
  builtin compadd \"\$@\"
}"
zpty -w shell 'autoload -Uz compinit && compinit -u -D && print READY$((0))'
zpty -r shell reply '*READY0*ZLE> '

failures=0 cases=0
# expect WORDS... -- EXPECTED...: the words typed after "sipcrypt", the last
# one being completed, and every match completion must add (in any order).
expect() {
  local -a words expected
  while [[ $1 != -- ]]; do words+=("$1"); shift; done
  shift
  expected=("$@")
  (( ++cases ))
  : >$found
  zpty -w -n shell "sipcrypt ${(j: :)words}"$'\t\C-u'
  zpty -w shell "print DONE$cases\$((0))"
  zpty -r shell reply "*DONE${cases}0*ZLE> "
  local got=${(j: :)${(ou)${(f)"$(<$found)"}}} want=${(j: :)${(ou)expected}}
  if [[ $got != $want ]]; then
    print -r -- "zsh completion of '${(j: :)words}': got [$got], want [$want]"
    (( ++failures ))
  fi
  return 0
}

while IFS= read -r line; do
  [[ -z $line || $line == \#* ]] || eval "expect $line"
done <$cases_file
(( failures == 0 )) && print "zsh completion: $cases cases as expected"
exit $(( failures > 0 ))
