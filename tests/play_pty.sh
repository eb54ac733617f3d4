#!/usr/bin/env bash
# chimex-cli play end to end: the real binary, through Qt's serial link, on a pseudo-terminal
# served by the fake GRBL. Usage: play_pty.sh CHIMEX_CLI FAKE_GRBL_PTY
set -euo pipefail
cli=$1
fake=$2
work=$(mktemp -d)
served=
trap '[ -n "$served" ] && kill "$served" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A work zero 10 mm inside the travel's far corner, so that the move to 0, 0, 0 is short.
"$fake" --no-homing --work-offset -10,-10,-5 >"$work/port" &
served=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
case "$port" in /*) ;; *) fail "no port from fake_grbl_pty" ;; esac
printf 'MaxX = 8\nMaxY = 8\nMaxZ = 4\nMAxXYSpeed = 30\nMAxZSpeed = 8\n' >"$work/limits.ini"
printf '24 0.3\n26 0.3\n28 0.2 0.1\n31 0.3\n' >"$work/short.txt"
for i in $(seq 12); do printf '24 0.5\n26 0.5 0.1\n'; done >"$work/long.txt"

# The settings come from the machine; the file states what they time it for.
for tune in short long; do
    "$cli" render "$work/$tune.txt" -o "$work/$tune.nc" --machine "grbl:$port" \
        --steps-per-unit 80 --pause --settings "$work/limits.ini" 2>"$work/err" ||
        fail "render --machine grbl:$port: $(cat "$work/err")"
done
grep -q '(Timed for acceleration X and Y 500' "$work/short.nc" || fail "not timed for the machine"

# Played to the end: status 0, the machine idle.
"$cli" play "$work/short.nc" --machine "grbl:$port" --settings "$work/limits.ini" --yes \
    >"$work/out" 2>"$work/err" || fail "play: status $?: $(cat "$work/err")"
grep -q 'played to the end, 4 notes' "$work/out" || fail "play: $(cat "$work/out")"

# Ctrl+C mid-tune stops the machine and says to home it; status 6.
"$cli" play "$work/long.nc" --machine "grbl:$port" --settings "$work/limits.ini" --yes \
    >"$work/out" 2>"$work/err" &
player=$!
sleep 4
kill -INT "$player"
status=0
wait "$player" || status=$?
test "$status" = 6 || fail "Ctrl+C: status $status: $(cat "$work/err")"
grep -q 'stopped by Ctrl+C' "$work/err" && grep -q 'home it again' "$work/err" ||
    fail "Ctrl+C: $(cat "$work/err")"
echo "play on a pseudo-terminal: ok"
