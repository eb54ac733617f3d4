#!/usr/bin/env bash
# The installed program as a user runs it: the package unpacked into a scratch root that nobody
# may write, and as an unprivileged user (nobody, when run as root) under Xvfb with the sound on a
# PulseAudio null sink: start-up, one held key that sounds, "Finished". Then the settings must be
# in ~/.config/chimex, the temporary file's folder ~/.local/state/chimex made and left empty, the
# part file complete, and the installed chimex-cli must render and check with those settings.
# Usage: installed_program.sh PACKAGE.deb LEVEL_SCAN
set -euo pipefail
deb=$(realpath "$1")
level_scan=$(realpath "$2")
work=$(mktemp -d)
chmod 755 "$work"
source "$(dirname "$0")/../app/x_session.sh"
cleanup() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "${parec_pid:-}" ] && kill "$parec_pid" 2>/dev/null || true
    [ -n "${pulse_pid:-}" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null || true
    stop_x
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$work/pulse.log" "$work/program.log" 2>/dev/null || true; exit 1; }

dpkg -x "$deb" "$work/root"
chmod -R a-w "$work/root"
bin=$work/root/usr/bin
home=$work/home
mkdir -p "$home/tunes"
as_user=(env)
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env)
fi
export HOME=$home XDG_RUNTIME_DIR=$home/runtime PULSE_SERVER=unix:$home/native
unset XDG_CONFIG_HOME XDG_STATE_HOME
"${as_user[@]}" mkdir -m 700 "$XDG_RUNTIME_DIR"

"${as_user[@]}" pulseaudio --daemonize=no --exit-idle-time=-1 -n --disable-shm=yes \
    --use-pid-file=no --load="module-null-sink sink_name=sink0 rate=44100" \
    --load="module-native-protocol-unix socket=$home/native auth-anonymous=1" \
    >"$work/pulse.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || fail "PulseAudio did not start"
pactl set-default-sink sink0

start_x
"${as_user[@]}" "$bin/chimex" >"$work/program.log" 2>&1 &
program_pid=$!
tune=$home/tunes/song.gxp
answer_start_up "$tune" 100
main=$(find_window '^Chimex$')
sleep 1   # let the sounds finish loading

"${as_user[@]}" parec --device=sink0.monitor --format=s16le --rate=44100 --channels=1 --raw \
    --latency-msec=10 "$home/rec.raw" &
parec_pid=$!
recorded() { awk "BEGIN { print $(stat -c %s "$home/rec.raw") / 88200 }"; }
for _ in $(seq 100); do [ -s "$home/rec.raw" ] && break; sleep 0.05; done
sleep 0.5
key_position 12
xdotool mousemove "$key_x" "$key_y"
press_at=$(recorded)
xdotool mousedown 1
sleep 1
release_at=$(recorded)
xdotool mouseup 1
sleep 1
kill -INT "$parec_pid"; wait "$parec_pid" 2>/dev/null || true
parec_pid=
"$level_scan" "$home/rec.raw" "$press_at" "$release_at" || fail "no key sound: notes not found?"
choose_finished
wait_for_program_end || fail "program exit"

grep -q '^MaxX = 100' "$home/.config/chimex/Chimex.ini" || fail "no Chimex.ini in ~/.config/chimex"
[ -d "$home/.local/state/chimex" ] || fail "the temporary file's folder was not made"
[ -z "$(ls -A "$home/.local/state/chimex")" ] || fail "temporary file left"
mapfile -t lines < <(tr -d '\r' <"$tune")
[ "${#lines[@]}" -eq $((32 + 4 + 4)) ] || fail "expected 40 lines, got ${#lines[@]}"
[ "${lines[-3]}" = "' Finally restore the original settings" ] || fail "footer"

# chimex-cli finds the same Chimex.ini without --settings.
printf '24 0.5\n26 0.5 0.1\n' >"$home/score.txt"
"${as_user[@]}" "$bin/chimex-cli" render "$home/score.txt" -o "$home/score.gxp" ||
    fail "chimex-cli render"
"${as_user[@]}" "$bin/chimex-cli" check "$home/score.gxp" >"$work/check.txt" ||
    fail "chimex-cli check: $(cat "$work/check.txt")"
"${as_user[@]}" "$bin/chimex-cli" check "$tune" >>"$work/check.txt" || fail "check of the tune"
grep -q '(limit 100)' "$work/check.txt" || fail "chimex-cli did not use ~/.config/chimex/Chimex.ini"
echo "PASS"
