#!/usr/bin/env bash
# The real program when the tune file stops taking notes while playing: after the first note,
# libfiu (switched on from outside with fiu-ctrl) makes every further write of the journal fail
# with "No space left on device". The second note brings a message box; after it the program ends
# through the unload, and the tune file is the finished part file with the first note only.
# Usage: journal_write_failure.sh RUN_FOLDER
set -euo pipefail
run_folder=$1
work=$(mktemp -d)
source "$(dirname "$0")/x_session.sh"
cleanup() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    stop_x
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/program.log" || true; exit 1; }

start_x
export PULSE_SERVER=unix:$work/no-sound-server   # no audio device: the keys play silently
mkdir -p "$work/program" "$work/tunes"
cp -r "$run_folder/chimex" "$run_folder/notes" "$work/program/"
FIU_CTRL_FIFO=$work/fiu LD_PRELOAD="/usr/lib/fiu/fiu_run_preload.so /usr/lib/fiu/fiu_posix_preload.so" \
    "$work/program/chimex" >"$work/program.log" 2>&1 &
program_pid=$!
tune=$work/tunes/song.gxp
answer_start_up "$tune"
main=$(find_window '^Chimex$')
hold_key 12 0.3
sleep 0.3
fiu-ctrl -f "$work/fiu" -c "enable name=posix/io/rw/pwrite,failinfo=28" "$program_pid"
hold_key 24 0.3

box=""
for _ in $(seq 40); do
    box=$(xdotool search --onlyvisible --name '^Chimex$' 2>/dev/null | grep -vx "$main" | head -1) || true
    [ -n "$box" ] && break
    sleep 0.25
done
[ -n "$box" ] || fail "no message box"
xdotool windowfocus --sync "$box" key Return
status=0
wait_for_program_end || status=$?
[ "$status" -eq 1 ] || fail "exit status $status"

mapfile -t lines < <(tr -d '\r' <"$tune")
printf '%s\n' "${lines[@]}"
[ "${#lines[@]}" -eq $((32 + 4 + 4)) ] || fail "expected one note in 40 lines, got ${#lines[@]}"
[ "$(grep -c "^' note duration = " "$tune")" -eq 1 ] || fail "one note"
[ "${lines[36]}" = "" ] && [ "${lines[37]}" = "' Finally restore the original settings" ] || fail "footer"
[ ! -e "$work/program/Chimex.tmp" ] || fail "temporary file left"
echo "PASS"
