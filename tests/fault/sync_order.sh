#!/usr/bin/env bash
# The order of the durable replace, read from strace: the finaliser and chimex-cli render sync the
# new file's data before renaming it into place and sync the folder after the rename; the finaliser
# removes the journal only after that (render's scratch journal has no name: it goes with the process).
# Usage: sync_order.sh CHIMEX_CLI FILE_STEP_TOOL
set -euo pipefail
cli=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/tunes" "$work/tmp"

# Prints one event a line: "sync PATH", "rename FROM TO" or "unlink NAME", in the order made; a
# file without a name counts as FOLDER/(unnamed).
events() {
    strace -f -qq -e signal=none -e trace=openat,fsync,fdatasync,rename,renameat2,unlink,unlinkat \
        -o "$work/trace" "$@" >/dev/null 2>&1
    awk -F'"' '
        /openat\(/ && / = [0-9]+$/ { n = split($0, p, " = "); fd[p[n]] = $2 ($0 ~ /O_TMPFILE/ ? "/(unnamed)" : "") }
        /(fsync|fdatasync)\(/ { s = $0; sub(/.*sync\(/, "", s); sub(/\).*/, "", s); print "sync " fd[s] }
        /rename(at2)?\(/ && / = 0$/ { print "rename " $2 " " $4 }
        /unlink(at)?\(/ && / = 0$/ { print "unlink " $2 }' "$work/trace"
}

# Fails unless the lines matching the patterns given appear in that order.
in_order() {
    local previous=0 line pattern
    for pattern in "$@"; do
        line=$(grep -n -m1 -E "$pattern" "$work/events" | cut -d: -f1)
        if [ -z "$line" ] || [ "$line" -le "$previous" ]; then
            echo "FAIL: \"$pattern\" missing or out of order in:"
            cat "$work/events"
            exit 1
        fi
        previous=$line
    done
}

printf '\r\nJS, 1.463\r\nJ3, .765\r\n' >"$work/tunes/song.txt"
events "$tool" finalise "$work/tunes/song.txt" "$work/program" >"$work/events"
in_order "^sync .*/program/Chimex.tmp$" "^rename .*/Chimex.tmp .*/tunes/song.txt$" \
    "^sync .*/tunes$"

printf '0 0.5\n4 0.5 0.2\n' >"$work/score.txt"
echo old >"$work/out.gxp"
TMPDIR=$work/tmp events "$cli" render "$work/score.txt" -o "$work/out.gxp" >"$work/events"
in_order "^sync $work/\(unnamed\)$" "^rename .*/\.out\.gxp\..*\.tmp .*/out\.gxp$" "^sync $work$"
echo "data synced before the rename, the folder after it"
