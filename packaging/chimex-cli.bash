# SPDX-License-Identifier: MIT
# Bash completion for chimex-cli: the commands, each command's options, and file names.
_chimex_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} options
    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W "render check preview listen --help" -- "$cur")
        return
    fi
    case $prev in
    --track | --channel | --transpose | --unit | --steps-per-unit | --z-steps-per-unit) return ;;
    esac
    case ${COMP_WORDS[1]} in
    render) options="-o --settings --pause --track --channel --transpose" ;;
    check) options="--settings --json" ;;
    preview) options="-o --settings --unit" ;;
    listen) options="-o --steps-per-unit --z-steps-per-unit" ;;
    *) return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _chimex_cli chimex-cli
