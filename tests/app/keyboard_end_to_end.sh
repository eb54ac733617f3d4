#!/usr/bin/env bash
# The real program under Xvfb played from the computer keyboard and the mouse with xdotool: held
# keys become notes of exactly the time between their press and release events as the X server
# stamped them (watched with xev; a long hold auto-repeats and stays one note), Right shifts an
# octave and a second key down releases the first. Then the take beside the tune file, rendered by
# chimex-cli with the same settings, gives the same part file.
# CHIMEX_BUSY_CORES=1 keeps both cores busy with stress-ng meanwhile.
# Usage: keyboard_end_to_end.sh RUN_FOLDER
set -euo pipefail
run_folder=$1
work=$(mktemp -d)
source "$(dirname "$0")/x_session.sh"
cleanup() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "${xev_pid:-}" ] && kill "$xev_pid" 2>/dev/null || true
    [ -n "${stress_pid:-}" ] && kill "$stress_pid" 2>/dev/null || true
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
xev -id "$main" -event keyboard >"$work/xev.log" 2>&1 &
xev_pid=$!
if [ "${CHIMEX_BUSY_CORES:-}" = 1 ]; then
    stress-ng --cpu 2 --timeout 60 >/dev/null 2>&1 &
    stress_pid=$!
fi
sleep 0.3

# One xdotool process for each hold, so that nothing but its sleep lies between the two events.
hold() { xdotool keydown "$1" sleep "$2" keyup "$1"; sleep 0.3; }
hold z 1.0 # key 0, long enough to auto-repeat
hold 2 0.4 # key 13
xdotool key Right
hold q 0.3 # key 24, an octave up
key_position 7
xdotool mousemove "$key_x" "$key_y" sleep 0.1 mousedown 1 sleep 0.3 mouseup 1
sleep 0.3
xdotool keydown x # key 14
sleep 0.3
xdotool keydown c # key 16 releases key 14
sleep 0.3
xdotool keyup x keyup c
sleep 0.3
[ -n "${stress_pid:-}" ] && kill "$stress_pid" && wait "$stress_pid" 2>/dev/null
stress_pid=
choose_finished
wait_for_program_end || fail "program exit"

cat "$tune"
body=$(tr -d '\r' <"$tune")
[ "$(grep -c "^' note duration = " <<<"$body")" -eq 6 ] || fail "six notes"
[ "$(grep -c '^PAUSE, ' <<<"$body")" -eq 5 ] || fail "five pause lines"
speeds=$(grep -E '^JS,' <<<"$body" | head -6 | sed 's/^JS,*  *//' | tr '\n' ' ')
[ "$speeds" = "0.366 0.775 1.463 0.548 0.821 0.922 " ] ||
    fail "keys 0 13 24 7 14 16, got speeds $speeds"
# The holds between the X server's press and release stamps of z, 2 and q, as xev saw them.
held=$(awk '/^Key(Press|Release) event/ { kind = $1 }
    kind && /time [0-9]+/ { match($0, /time [0-9]+/); t = substr($0, RSTART + 5, RLENGTH - 5) }
    kind && /keycode/ { match($0, /keycode [0-9]+/); k = substr($0, RSTART + 8, RLENGTH - 8)
        if (kind == "KeyPress" && !(k in down)) down[k] = t
        if (kind == "KeyRelease" && (k in down)) { last[k] = t - down[k] }
        kind = "" }
    END { print last[52] / 1000, last[11] / 1000, last[24] / 1000 }' "$work/xev.log")
durations=$(sed -n "s/^' note duration = //p" <<<"$body" | head -4 | tr '\n' ' ')
echo "held by the X server's stamps: $held; recorded: $durations"
# Each recorded hold lies within a millisecond of the stamps' hold. No other client sees the
# mouse's stamps (the program holds the pointer while a button is down): its hold is only bound
# by xdotool's sleep, which a busy machine may stretch by some milliseconds.
awk -v d="$durations" -v h="$held" 'BEGIN { split(d, t, " "); split(h, w, " "); w[4] = 0.3
    for (i = 1; i <= 4; i++) { e = t[i] - w[i]; if (e > (i < 4 ? 0.001 : 0.01) || e < -0.001) exit 1 } }' ||
    fail "durations $durations, held $held"

"$run_folder/chimex-cli" render "$work/tunes/keys.mid" -o "$work/rendered.gxp" \
    --settings "$work/program/Chimex.ini" --pause || fail "render of the take"
same_part_file "$tune" "$work/rendered.gxp" || fail "the rendered take differs"
echo "PASS"
