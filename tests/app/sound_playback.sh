#!/usr/bin/env bash
# The real program's key sound on a PulseAudio null sink: holding a key gives sound on the sink's
# monitor, releasing it gives silence. Prints the delays from press to sound and release to silence.
# Usage: sound_playback.sh RUN_FOLDER LEVEL_SCAN
set -euo pipefail
run_folder=$1
level_scan=$2
work=$(mktemp -d)
source "$(dirname "$0")/x_session.sh"
cleanup() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "${parec_pid:-}" ] && kill "$parec_pid" 2>/dev/null || true
    [ -n "${pulse_pid:-}" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null || true
    stop_x
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$work/pulse.log" "$work/program.log" 2>/dev/null || true; exit 1; }

# A private sound server with one null sink; runs as root in CI, hence no --system and no shm.
export XDG_RUNTIME_DIR=$work/runtime HOME=$work
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=no --exit-idle-time=-1 -n --disable-shm=yes --use-pid-file=no \
    --load="module-null-sink sink_name=sink0 rate=44100" \
    --load="module-native-protocol-unix socket=$work/native auth-anonymous=1" \
    >"$work/pulse.log" 2>&1 &
pulse_pid=$!
export PULSE_SERVER=unix:$work/native
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || fail "PulseAudio did not start"
pactl set-default-sink sink0

start_x
start_program "$run_folder"
answer_start_up "$work/tune.gxp"
main=$(find_window '^Chimex$')
sleep 1   # let the sounds finish loading

# The recording's own length marks the moments of press and release: the sample count written so
# far, taken just before the mouse button goes down or up (it lags by the capture latency, ~10 ms).
parec --device=sink0.monitor --format=s16le --rate=44100 --channels=1 --raw \
    --latency-msec=10 "$work/rec.raw" &
parec_pid=$!
recorded() { awk "BEGIN { print $(stat -c %s "$work/rec.raw") / 88200 }"; }
for _ in $(seq 100); do [ -s "$work/rec.raw" ] && break; sleep 0.05; done
sleep 0.5
key_position 12
xdotool mousemove "$key_x" "$key_y"
press_at=$(recorded)
xdotool mousedown 1
sleep 1.5
release_at=$(recorded)
xdotool mouseup 1
sleep 1.5
kill -INT "$parec_pid"; wait "$parec_pid" 2>/dev/null || true
parec_pid=

"$level_scan" "$work/rec.raw" "$press_at" "$release_at" || fail "sound check"
choose_finished
wait_for_program_end || fail "program exit"
echo "PASS"
