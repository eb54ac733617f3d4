#!/usr/bin/env bash
# The real program under Xvfb: name the tune in the save-file dialog, save the settings, hold a few
# keys with the mouse, choose "Finished", then check the part file and the settings file.
# Usage: end_to_end.sh RUN_FOLDER [SCREENSHOT.png]
set -euo pipefail
run_folder=$1
screenshot=${2:-}
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
mkdir -p "$work/program"
printf 'MaxX = 96\r\nMaxY = 48\r\nMaxZ = 6\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\nADdPause = 1\r\n' \
    >"$work/program/Chimex.ini"
start_program "$run_folder"
tune="$work/tunes/first song.gxp"
mkdir -p "$work/tunes"
answer_start_up "$tune" 100

main=$(find_window '^Chimex$')
check_title "$main" "Chimex"
hold_key 0 0.5
sleep 0.3
hold_key 13 0.4 3     # a black key, right button
sleep 0.3
key_position 24
xdotool mousemove "$key_x" "$key_y" mousedown 1
sleep 0.2
if [ -n "$screenshot" ]; then
    window_geometry "$main"
    import -window root -crop "${win_w}x${win_h}+${win_x}+${win_y}" +repage "$screenshot"
fi
sleep 0.2
key_position 36
xdotool mousemove "$key_x" "$key_y" mouseup 1   # dragged off key 24 before the release
sleep 0.3
choose_finished
wait_for_program_end || fail "program exit"

[ -f "$tune" ] || fail "no tune file"
[ ! -e "$work/program/Chimex.tmp" ] || fail "temporary file left"
mapfile -t lines < <(tr -d '\r' <"$tune")
count=${#lines[@]}
echo "tune file: $count lines"
cat "$tune"
[ "$count" -eq $((32 + 3 * 4 + 2 + 4)) ] || fail "expected 50 lines, got $count"
[ "${lines[32]}" = "" ] || fail "line 33 not blank"
# Key 0 is MaxXYSpeed / 8.2, key 13 is 2^(13/12) times that, key 24 four times.
grep -qE '^JS,{1,2} 0\.366$' <(tr -d '\r' <"$tune") || fail "key 0 speed"
grep -qE '^JS,{1,2} 0\.775$' <(tr -d '\r' <"$tune") || fail "key 13 speed"
grep -qE '^JS,{1,2} 1\.463$' <(tr -d '\r' <"$tune") || fail "key 24 speed"
[ "$(grep -c '^PAUSE, ' "$tune")" -eq 2 ] || fail "two pause lines"
[ "$(grep -c "^' note duration = " "$tune")" -eq 3 ] || fail "three notes"
[ "${lines[count - 3]}" = "' Finally restore the original settings" ] || fail "footer"
expected=$'MaxX = 100\r\nMaxY = 48\r\nMaxZ = 6\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\nADdPause = 1\r'
[ "$(cat "$work/program/Chimex.ini")" = "$expected" ] || fail "settings file: $(cat -A "$work/program/Chimex.ini")"

# Cancelling the save-file dialog: "Try Again", then the program ends with no window and nothing
# read or written: not even a sound file is opened.
rm -rf "$work/program" "$work/tunes"
start_program "$run_folder" strace -f -qq -e trace=openat -o "$work/openat.log"
dialog=$(find_window "Select a name for your tune")
xdotool windowfocus --sync "$dialog" key Escape
box=$(find_window "Try Again")
check_title "$box" "Try Again"
xdotool windowfocus --sync "$box" key Return
wait_for_program_end || fail "program exit after cancel"
[ "$(ls "$work/program")" = "$(printf 'chimex\nnotes')" ] || fail "files after cancel: $(ls "$work/program")"
grep -q 'openat(' "$work/openat.log" || fail "strace recorded nothing"
# Only opens that succeed count: a look for a file that is not there reads nothing.
! grep -E 'program/(notes/|Chimex\.).* = [0-9]+$' "$work/openat.log" || fail "files opened after cancel"
echo "PASS"
