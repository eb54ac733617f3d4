#!/usr/bin/env bash
# The real program under Xvfb played from the computer keyboard with xdotool: held keys become
# notes of their length (a long hold auto-repeats and stays one note), Right shifts an octave and
# a second key down releases the first. Then the take beside the tune file, rendered by chimex-cli
# with the same settings, gives the same part file.
# Usage: keyboard_end_to_end.sh RUN_FOLDER
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
export PULSE_SERVER=unix:$work/no-sound-server
mkdir -p "$work/program" "$work/tunes"
printf 'MaxX = 96\r\nMaxY = 48\r\nMaxZ = 6\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\nADdPause = 1\r\n' \
    >"$work/program/Chimex.ini"
start_program "$run_folder"
tune="$work/tunes/keys.gxp"
answer_start_up "$tune"
main=$(find_window '^Chimex$')
xdotool windowfocus --sync "$main"

hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; sleep 0.3; }
hold z 1.0 # key 0, long enough to auto-repeat
hold 2 0.4 # key 13
xdotool key Right
hold q 0.5 # key 24, an octave up
xdotool keydown x # key 14
sleep 0.3
xdotool keydown c # key 16 releases key 14
sleep 0.3
xdotool keyup x keyup c
sleep 0.3
choose_finished
wait_for_program_end || fail "program exit"

cat "$tune"
body=$(tr -d '\r' <"$tune")
[ "$(grep -c "^' note duration = " <<<"$body")" -eq 5 ] || fail "five notes"
[ "$(grep -c '^PAUSE, ' <<<"$body")" -eq 4 ] || fail "four pause lines"
speeds=$(grep -E '^JS,' <<<"$body" | head -5 | sed 's/^JS,*  *//' | tr '\n' ' ')
[ "$speeds" = "0.366 0.775 1.463 0.821 0.922 " ] || fail "keys 0 13 24 14 16, got speeds $speeds"
durations=$(sed -n "s/^' note duration = //p" <<<"$body" | head -3 | tr '\n' ' ')
awk -v d="$durations" 'BEGIN { split(d, t, " "); split("1.0 0.4 0.5", w, " ");
    for (i = 1; i <= 3; i++) if (t[i] < w[i] - 0.05 || t[i] > w[i] + 0.25) exit 1 }' ||
    fail "durations $durations"

"$run_folder/chimex-cli" render "$work/tunes/keys.mid" -o "$work/rendered.gxp" \
    --settings "$work/program/Chimex.ini" --pause || fail "render of the take"
same_part_file "$tune" "$work/rendered.gxp" || fail "the rendered take differs"
echo "PASS"
