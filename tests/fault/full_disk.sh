#!/usr/bin/env bash
# chimex-cli on a full disk and with a part file that cannot be read twice. Every output and every
# spool (the render's journal, the preview's segments, in TMPDIR) on a full file system (a small
# tmpfs; needs root and mount) is refused with exit status 5 and a message, leaving the old output
# and no other file; preview and listen refuse a pipe with exit status 4 and write nothing.
# Usage: full_disk.sh CHIMEX_CLI
set -uo pipefail
cli=$1
work=$(mktemp -d)
full=$work/full
cleanup() {
    mountpoint -q "$full" && umount "$full"
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; sed 's/^/    /' "$work/err"; failures=$((failures + 1)); }

printf '# key hold gap\n0 0.5\n4 0.5 0.2\n7 0.5\n12 1.0 0.3\n24 0.4\n' >"$work/score.txt"
"$cli" render "$work/score.txt" -o "$work/part.txt" --pause 2>/dev/null || exit 1
mkdir -p "$work/out" "$full"
commands=(
    "render $work/score.txt --pause"
    "preview $work/part.txt"
    "listen $work/part.txt --steps-per-unit 400"
)

# Runs "$1" with -o "$2"; expects exit status $3 and a message matching $4.
refused() {
    local status
    # shellcheck disable=SC2086
    "$cli" $1 -o "$2" >/dev/null 2>"$work/err"
    status=$?
    [ "$status" -eq "$3" ] || { fail "$1 -o $2: exit status $status, not $3"; return; }
    grep -q "$4" "$work/err" || fail "$1 -o $2: no message about $4"
}

# A pipe can be read only once; the part file is refused before anything is written.
for command in "preview /dev/stdin" "listen /dev/stdin --steps-per-unit 400"; do
    refused "$command" "$work/out/pipe" 4 "a second time" < <(cat "$work/part.txt")
    [ ! -e "$work/out/pipe" ] || fail "$command wrote its output"
done
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=256k,nr_inodes=64 tmpfs "$full" 2>/dev/null; then
    echo "full-disk cases skipped: a small tmpfs needs root and mount"
else
    echo old >"$full/old"
    cp "$full/old" "$full/out"
    dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null # until the disk is full
    for command in "${commands[@]}"; do
        refused "$command" "$full/out" 5 "No space left on device\|disk full"
        cmp -s "$full/old" "$full/out" || fail "$command: the old output is not intact"
        [ "$(ls -A "$full" | tr '\n' ' ')" = "filler old out " ] || fail "$command left $(ls -A "$full")"
        [ "${command%% *}" = listen ] && continue # listen has no spool
        TMPDIR=$full refused "$command" "$work/out/spooled" 5 "No space left on device\|disk full"
        [ ! -e "$work/out/spooled" ] || fail "$command wrote its output with a full spool"
        [ "$(ls -A "$full" | tr '\n' ' ')" = "filler old out " ] || fail "$command left $(ls -A "$full")"
    done
fi
[ "$failures" -eq 0 ] && echo "full disk and pipes: all refused cleanly"
[ "$failures" -eq 0 ]
