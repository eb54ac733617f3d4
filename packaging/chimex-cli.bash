# SPDX-License-Identifier: MIT
# Bash completion for chimex-cli: the commands, each command's options, and file names.
_chimex_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} options
    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W "render check preview listen convert finish play --help" -- "$cur")
        return
    fi
    case $prev in
    --track | --channel | --transpose | --unit | --steps-per-unit | --z-steps-per-unit | \
        --format | --dialect | --accel | --z-accel | --junction-deviation | --step-idle-delay) return ;;
    esac
    case ${COMP_WORDS[1]} in
    render) options="-o --settings --pause --track --channel --transpose --format --dialect --unit
        --steps-per-unit --z-steps-per-unit --accel --z-accel --junction-deviation
        --step-idle-delay" ;;
    convert) options="-o --settings --dialect --unit --accel --z-accel --steps-per-unit
        --z-steps-per-unit --junction-deviation --step-idle-delay" ;;
    check) options="--settings --json --accel --z-accel" ;;
    preview) options="-o --settings --unit" ;;
    listen) options="-o --steps-per-unit --z-steps-per-unit --accel --z-accel" ;;
    play) options="--machine --settings --yes" ;;
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
