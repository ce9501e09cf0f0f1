# Bash completion for sipcrypt: its commands, their options, the names that
# --encoding takes (as the tool itself lists them), and file names.

_sipcrypt() {
    local current=${COMP_WORDS[COMP_CWORD]}
    local previous=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W 'encrypt decrypt accounts --help --version
            --list-encodings' -- "$current")
        return
    fi
    case $previous in
    --encoding | --input-encoding)
        local names
        names=$("${COMP_WORDS[0]}" --list-encodings 2>/dev/null | sed -n 's/^[0-9]*://p')
        # A file of accounts may also be UTF-16 without its mark.
        [[ $previous == --input-encoding ]] && names+=' UTF-16LE UTF-16BE'
        mapfile -t COMPREPLY < <(compgen -W "$names" -- "${current^^}")
        return
        ;;
    --password-file | -i | --input | -o | --output)
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
        compopt -o filenames 2>/dev/null || true
        return
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W 'csv tsv' -- "$current")
        return
        ;;
    --delimiter)
        mapfile -t COMPREPLY < <(compgen -W ', \; tab' -- "$current")
        return
        ;;
    --password-env)
        mapfile -t COMPREPLY < <(compgen -e -- "$current")
        return
        ;;
    --password-fd)
        return
        ;;
    esac
    local options='--password-file --password-env --password-fd --encoding -i --input --help'
    [[ $command == accounts ]] &&
        options+=' -o --output --decrypt --delimiter --format --input-encoding'
    if [[ $current == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$current")
    fi
}
complete -F _sipcrypt sipcrypt
