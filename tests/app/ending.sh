#!/usr/bin/env bash
# The real program under Xvfb ended while playing by a signal (a logout, a closed terminal,
# Ctrl+C) and by the loss of its display: each time the tune file must be the finished part file,
# with the note of a key held at that moment, and its take beside it.
# Usage: ending.sh RUN_FOLDER
set -euo pipefail
run_folder=$1
work=$(mktemp -d)
source "$(dirname "$0")/x_session.sh"
cleanup() {
    [ -n "${program_pid:-}" ] && kill -9 "$program_pid" 2>/dev/null || true
    stop_x
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/program.log" || true; exit 1; }
export PULSE_SERVER=unix:$work/no-sound-server

# Plays one note into tune $1 in a fresh program folder.
play_one_note() {
    rm -rf "$work/program"
    start_program "$run_folder"
    answer_start_up "$1"
    main=$(find_window '^Chimex$')
    hold_key 24 0.3
    sleep 0.3
}

finished() {
    [ "$(head -1 "$1" | tr -d '\r')" = "' file created by Gantrix Chimex software" ] &&
        grep -q "^' note duration = " "$1" &&
        [ "$(tail -3 "$1" | head -1 | tr -d '\r')" = "' Finally restore the original settings" ] &&
        [ "$(head -c 4 "${1%.gxp}.mid")" = MThd ]
}

start_x
for signal in TERM HUP INT; do
    play_one_note "$work/$signal.gxp"
    kill -s "$signal" "$program_pid"
    wait_for_program_end || fail "program still running after SIG$signal"
    finished "$work/$signal.gxp" || fail "SIG$signal left: $(cat -A "$work/$signal.gxp")"
done

# A key held when the signal comes is played too.
play_one_note "$work/held.gxp"
key_position 12
xdotool mousemove "$key_x" "$key_y" mousedown 1
sleep 0.3
kill -s TERM "$program_pid"
wait_for_program_end || fail "program still running after SIGTERM with a key held"
xdotool mouseup 1
[ "$(grep -c "^' note duration = " "$work/held.gxp")" = 2 ] ||
    fail "the held note is missing: $(cat -A "$work/held.gxp")"

# So is a key held when the display goes; the take is kept beside the tune as at a signal.
play_one_note "$work/display.gxp"
key_position 12
xdotool mousemove "$key_x" "$key_y" mousedown 1
sleep 0.3
stop_x
xvfb_pid=
wait_for_program_end || true # Qt ends with status 1 when its display is gone
finished "$work/display.gxp" || fail "lost display left: $(cat -A "$work/display.gxp")"
[ "$(grep -c "^' note duration = " "$work/display.gxp")" = 2 ] ||
    fail "the note held when the display went is missing: $(cat -A "$work/display.gxp")"
[ "$(head -c 4 "$work/display.mid")" = MThd ] || fail "no take after the display went"
echo "PASS"
