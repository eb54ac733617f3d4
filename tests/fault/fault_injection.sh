#!/usr/bin/env bash
# Runs the finaliser, the settings writer and every chimex-cli command with I/O calls failing
# (libfiu's POSIX preload library): first the N-th call, for every N of a clean run, then
# RANDOM_RUNS runs in which each call fails at random. After every run: a success left the new
# file complete; a failure was reported by its exit status (1 for the file steps, 4 or 5 for
# chimex-cli; its message may be lost when writing that fails too) and left the old file intact or
# the new one complete. Nothing else counts as kept.
# Playing three notes, the tune file must end as the journal or the finished part file of the
# first k notes, whole, for some k (or not exist, when the journal could not be created).
# Usage: fault_injection.sh CHIMEX_CLI FILE_STEP_TOOL FAIL_AT_CALL_SO [RANDOM_RUNS]
set -uo pipefail
cli=$1
tool=$2
shim=$3
random_runs=${4:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fiu=/usr/lib/fiu
runs=0
lost=0
declare -A failed_by

journal=$'\r\nJS, 1.463\r\n\' note duration = 0.523\r\nJ3, .765\r\nPAUSE, .3\r\n'
settings_old=$'MaxX = 1\r\nMaxY = 2\r\nMaxZ = 3\r\nMAxXYSpeed = 4\r\nMAxZSpeed = 5\r\nADdPause = 0\r\n'
printf '# key hold gap\n0 0.5\n4 0.5 0.2\n7 0.5\n12 1.0 0.3\n24 0.4\n' >"$work/score.txt"
"$cli" render "$work/score.txt" -o "$work/part.txt" --pause 2>/dev/null || exit 1

# Each case lays out its old files in $c (a fresh folder), names the file it replaces in $target
# and its command in $cmd; $allowed lists the exit statuses of a reported failure.
setup() {
    c=$work/case
    rm -rf "$c"
    mkdir -p "$c/program" "$c/tunes" "$c/tmp"
    export TMPDIR=$c/tmp
    case $1 in
    finalise | finalise-across)
        local tunes=$c/tunes
        if [ "$1" = finalise-across ]; then
            tunes=$shm_tunes
            rm -rf "$tunes" && mkdir -p "$tunes"
        fi
        printf '%s' "$journal" >"$tunes/song.txt"
        target=$tunes/song.txt
        cmd=("$tool" finalise "$target" "$c/program")
        allowed=" 1 "
        ;;
    play)
        target=$c/tunes/song.gxp
        cmd=("$tool" play "$target" "$c/program" 3)
        allowed=" 1 "
        ;;
    settings)
        printf '%s' "$settings_old" >"$c/program/Chimex.ini"
        target=$c/program/Chimex.ini
        cmd=("$tool" save-settings "$c/program")
        allowed=" 1 "
        ;;
    render | preview | listen)
        target=$c/out
        printf old >"$target"
        case $1 in
        render) cmd=("$cli" render "$work/score.txt" -o "$target" --pause) ;;
        preview) cmd=("$cli" preview "$work/part.txt" -o "$target") ;;
        listen) cmd=("$cli" listen "$work/part.txt" -o "$target" --steps-per-unit 400) ;;
        esac
        allowed=" 4 5 "
        ;;
    check)
        target=$c/report # standard output; there is no old file to keep
        cmd=("$cli" check "$work/part.txt")
        allowed=" 4 5 "
        ;;
    esac
    cp "$target" "$work/old" 2>/dev/null || : >"$work/old"
}

# Runs the case's command with the environment given as arguments (NAME=VALUE...).
run() {
    env -i PATH="$PATH" TMPDIR="$TMPDIR" "$@" "${cmd[@]}" >"$c/out.stdout" 2>"$c/stderr"
    status=$?
    [ "$name" = check ] && mv "$c/out.stdout" "$target"
    return 0
}

# Judges the run just done; $1 says what was injected.
judge() {
    runs=$((runs + 1))
    local verdict=""
    if [ "$status" -eq 0 ]; then
        cmp -s "$target" "$work/new" || verdict="success reported, but the file is not complete"
    elif [[ "$allowed" != *" $status "* ]]; then
        verdict="exit status $status"
    elif [ "$name" = play ]; then
        kept_notes || verdict="the tune file holds no whole notes"
    elif [ "$name" != check ] && ! cmp -s "$target" "$work/old" && ! cmp -s "$target" "$work/new"; then
        verdict="the file is neither the old one nor the new one"
    fi
    if [ -n "$verdict" ]; then
        lost=$((lost + 1))
        echo "LOST $name, $1: $verdict"
        cat "$c/stderr" "$c/out.stdout" 2>/dev/null | sed 's/^/    /'
    elif [ "$status" -ne 0 ]; then
        failed_by[$name]=$((${failed_by[$name]:-0} + 1))
    fi
}

# The tune file after playing: missing, or the journal or the part file of the first k notes,
# perhaps followed by the pause line written at the press of the note that failed.
for k in 0 1 2 3; do
    "$tool" play "$work/finished$k" "$work" "$k" >/dev/null || exit 1
    sed -n '33,$p' "$work/finished$k" | head -n -4 >"$work/journal$k"
    { cat "$work/journal$k"; printf 'PAUSE, .5\r\n'; } >"$work/journal${k}p"
    { head -n -4 "$work/finished$k"; printf 'PAUSE, .5\r\n'; tail -n 4 "$work/finished$k"; } \
        >"$work/finished${k}p"
done
kept_notes() {
    [ -e "$target" ] || return 0
    local kept
    for kept in "$work"/finished* "$work"/journal*; do
        cmp -s "$target" "$kept" && return 0
    done
    return 1
}

cases="finalise settings play render check preview listen"
shm_tunes=$(mktemp -d -p /dev/shm 2>/dev/null) && trap 'rm -rf "$work" "$shm_tunes"' EXIT &&
    [ "$(stat -c %d "$shm_tunes")" != "$(stat -c %d "$work")" ] && cases="$cases finalise-across"

for name in $cases; do
    setup "$name"
    run LD_PRELOAD="$fiu/fiu_run_preload.so $fiu/fiu_posix_preload.so $shim" FIU_CTRL_FIFO= \
        CHIMEX_FAIL_AT=0 CHIMEX_FAIL_COUNT="$work/calls"
    [ "$status" -eq 0 ] || { echo "clean run of $name failed: $(cat "$c/stderr")"; exit 1; }
    cp "$target" "$work/new"
    calls=$(cat "$work/calls")
    for ((n = 1; n <= calls; n++)); do
        setup "$name"
        run LD_PRELOAD="$fiu/fiu_run_preload.so $fiu/fiu_posix_preload.so $shim" FIU_CTRL_FIFO= \
            CHIMEX_FAIL_AT=$n
        judge "I/O call $n of $calls failing"
    done
    for ((r = 1; r <= random_runs; r++)); do
        setup "$name"
        run LD_PRELOAD="$fiu/fiu_run_preload.so $fiu/fiu_posix_preload.so" FIU_CTRL_FIFO= \
            FIU_ENABLE="enable_random name=posix/io/*,probability=$(awk -v n="$calls" 'BEGIN { print 2 / n }')"
        judge "random failures, run $r"
    done
    echo "$name: $calls I/O calls; ${failed_by[$name]:-0} runs ended in a reported failure"
done
echo "fault injection: $runs runs, $lost lost data"
[ "$lost" -eq 0 ]
