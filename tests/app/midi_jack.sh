#!/usr/bin/env bash
# The real program under Xvfb played from MIDI through a JACK server on its dummy back end with
# periods of 1024 frames: a test sender that appears after start-up sends notes, each at its exact
# frame (the last note wins, a note outside C3 to C6 moves by octaves, velocity 0 is a note-off)
# and the part file holds them, each lasting its frames to within a millisecond.
# CHIMEX_BUSY_CORES=1 keeps both cores busy with stress-ng meanwhile.
# Usage: midi_jack.sh RUN_FOLDER MIDI_SENDER
set -euo pipefail
run_folder=$1
sender=$2
work=$(mktemp -d)
source "$(dirname "$0")/x_session.sh"
cleanup() {
    exec 3>&- 2>/dev/null || true
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "${sender_pid:-}" ] && kill "$sender_pid" 2>/dev/null || true
    [ -n "${stress_pid:-}" ] && kill "$stress_pid" 2>/dev/null || true
    [ -n "${jack_pid:-}" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
    stop_x
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- program output"; cat "$work/program.log" || true
    echo "--- JACK"; cat "$work/jack.log" || true
    exit 1
}

# A private JACK server without a sound card.
export JACK_DEFAULT_SERVER=chimex-test-$$ JACK_NO_AUDIO_RESERVATION=1
# Synchronous, so that a client slowed down by a busy machine misses no cycle and so no note.
jackd --no-realtime --sync --timeout 5000 -d dummy -r 48000 -p 1024 >"$work/jack.log" 2>&1 &
jack_pid=$!
for _ in $(seq 50); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
jack_lsp >/dev/null 2>&1 || fail "JACK did not start"

start_x
export PULSE_SERVER=unix:$work/no-sound-server
mkdir -p "$work/program" "$work/tunes"
printf 'MaxX = 96\r\nMaxY = 48\r\nMaxZ = 6\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\nADdPause = 1\r\n' \
    >"$work/program/Chimex.ini"
program_args=(--midi-in chimex-test-sender)
start_program "$run_folder"
tune="$work/tunes/midi.gxp"
answer_start_up "$tune"
main=$(find_window '^Chimex$')

mkfifo "$work/go"
"$sender" chimex-test-sender +60 w0.5 -60 w0.3 +64 w0.3 +67 w0.4 -64 -67 w0.3 +36 w0.3 ~36 \
    <"$work/go" &
sender_pid=$!
exec 3>"$work/go"
for _ in $(seq 100); do
    grep -q "MIDI input from chimex-test-sender" "$work/program.log" && break
    sleep 0.1
done
grep -q "MIDI input from chimex-test-sender" "$work/program.log" || fail "the sender was not found"
"$work/program/chimex" --list-midi | grep -qx "chimex-test-sender:out" || fail "--list-midi"
if [ "${CHIMEX_BUSY_CORES:-}" = 1 ]; then
    stress-ng --cpu 2 --timeout 60 >/dev/null 2>&1 &
    stress_pid=$!
fi
echo go >&3
wait "$sender_pid" || fail "sender"
sender_pid=
[ -n "${stress_pid:-}" ] && kill "$stress_pid" && wait "$stress_pid" 2>/dev/null
stress_pid=
sleep 0.3
choose_finished
wait_for_program_end || fail "program exit"

cat "$tune"
body=$(tr -d '\r' <"$tune")
speeds=$(grep -E '^JS,' <<<"$body" | head -4 | sed 's/^JS,*  *//' | tr '\n' ' ')
[ "$(grep -c "^' note duration = " <<<"$body")" -eq 4 ] || fail "four notes"
# Notes 60, 64 (cut short by 67), 67 and 36 (two octaves up): keys 12, 16, 19 and 0.
[ "$speeds" = "0.732 0.922 1.096 0.366 " ] || fail "keys 12 16 19 0, got speeds $speeds"
durations=$(sed -n "s/^' note duration = //p" <<<"$body" | tr '\n' ' ')
echo "sent: 0.5 0.3 0.4 0.3; recorded: $durations"
awk -v d="$durations" 'BEGIN { split(d, t, " "); split("0.5 0.3 0.4 0.3", w, " ");
    for (i = 1; i <= 4; i++) if (t[i] < w[i] - 0.001 || t[i] > w[i] + 0.001) exit 1 }' ||
    fail "durations $durations"
echo "PASS"
