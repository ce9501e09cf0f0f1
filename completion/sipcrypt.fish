# Fish completion for sipcrypt: its commands, their options, the names that
# --encoding takes (as the tool itself lists them), and file names.

# The names the tool being completed takes for an encoding: the words after
# each code page's number in "1252: WINDOWS-1252 LATIN1 ...".
function __sipcrypt_encodings
    set -l tool (commandline -opc)[1]
    command -q $tool; or return
    command $tool --list-encodings 2>/dev/null | string replace -rf '^[0-9]+: ' '' | string split ' '
end

# True until a source of the password is given. A bare option just before
# the cursor does not count: its value is what is being typed.
function __sipcrypt_no_password
    set -l before (commandline -opc)
    string match -qr -- '^--password-(file|env|fd)' $before[1..-2]; and return 1
    string match -qr -- '^--password-(file|env|fd)=' $before[-1]; and return 1
    return 0
end

set -l commands encrypt decrypt accounts
set -l in_command "__fish_seen_subcommand_from $commands"

# Only where an option takes a file are files offered.
complete -c sipcrypt -f
complete -c sipcrypt -n __fish_use_subcommand -a encrypt -d 'encrypt values under a password'
complete -c sipcrypt -n __fish_use_subcommand -a decrypt -d 'decrypt texts back to their values'
complete -c sipcrypt -n __fish_use_subcommand -a accounts -d 'encrypt the SIP parameters of a CSV of accounts'
complete -c sipcrypt -n __fish_use_subcommand -l version -d 'show the version and exit'
complete -c sipcrypt -n __fish_use_subcommand -l list-encodings -d 'list the names --encoding takes and exit'
complete -c sipcrypt -s h -l help -d 'show the help and exit'

# The password comes from one source at most.
set -l no_password "$in_command; and __sipcrypt_no_password"
complete -c sipcrypt -n $no_password -l password-file -r -F -d 'read the password from the first line of a file'
complete -c sipcrypt -n $no_password -l password-env -x -a '(set -nx)' -d 'read the password from an environment variable'
complete -c sipcrypt -n $no_password -l password-fd -x -d 'read the password from the first line of a file descriptor'
complete -c sipcrypt -n $in_command -l encoding -x -a '(__sipcrypt_encodings)' -d 'the encoding the decrypting program reads'
complete -c sipcrypt -n $in_command -s i -l input -r -F -d 'read from a file instead of standard input'

set -l in_accounts '__fish_seen_subcommand_from accounts'
complete -c sipcrypt -n $in_accounts -s o -l output -r -F -d 'write to a file, which appears whole or not at all'
complete -c sipcrypt -n $in_accounts -l decrypt -d 'decrypt the four columns instead'
# --delimiter and --format exclude each other.
complete -c sipcrypt -n "$in_accounts; and not __fish_seen_argument -l format" -l delimiter -x \
    -a ", ';' tab" -d 'the separator between fields'
complete -c sipcrypt -n "$in_accounts; and not __fish_seen_argument -l delimiter" -l format -x \
    -a "csv\t'comma-separated values' tsv\t'tab-separated values with backslash escapes'" \
    -d "the file's format"
complete -c sipcrypt -n $in_accounts -l input-encoding -x -a '(__sipcrypt_encodings) UTF-16LE UTF-16BE' \
    -d 'the encoding of a file with no byte-order mark'
