#!/usr/bin/env bash
# Plays chimex-cli's LinuxCNC G-code, timed with --accel, on LinuxCNC's own motion planner and
# checks every note's onset and the end of the tune against the score, within 3 ms. Each case is
# one simulation of a 40-note score whose first half is legato and second half has rests.
# Usage: timing.sh CHIMEX_CLI
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$1
work=$(mktemp -d)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
echo "work: $work"

# Travel and speeds large enough for every key at its true pitch on 80 steps/mm.
printf 'MaxX = 400\r\nMaxY = 300\r\nMaxZ = 100\r\nMAxXYSpeed = 25\r\nMAxZSpeed = 15\r\nADdPause = 0\r\n' \
    >"$work/Chimex.ini"
awk 'BEGIN { srand(22); print "# key hold gap"
             for (i = 0; i < 40; i++)
                 printf "%d %.3f %.3f\n", int(rand() * 37), 0.12 + rand() * 0.4,
                     (i >= 20 && rand() < 0.5) ? 0.05 + rand() * 0.3 : 0 }' >"$work/score.txt"

# acceleration (mm/s²)
cases=(500 100)

# One case: renders the timed file, plays it and measures it against the score within 3 ms.
play_case() {
    local accel=$1 status=0
    "$cli" render "$work/score.txt" -o "$work/$accel.ngc" --format gcode --dialect linuxcnc \
        --unit mm --steps-per-unit 80 --accel "$accel" --pause --settings "$work/Chimex.ini" \
        2>/dev/null
    "$here/play.sh" "$accel" "$work/$accel.ngc" "$work/$accel.trace"
    "$here/measure.py" "$work/score.txt" "$work/$accel.ngc" "$work/$accel.trace" "$accel" 3 \
        >"$work/$accel.onsets" || status=$?
    echo "$accel mm/s²: $(tail -n 1 "$work/$accel.onsets")"
    return "$status"
}

# Dwells are timed by LinuxCNC's task process on an ordinary kernel: a machine busy with other work
# can wake it a few milliseconds late now and then, so a case that misses gets two more tries.
for accel in "${cases[@]}"; do
    play_case "$accel" || play_case "$accel" || play_case "$accel" || { cat "$work/$accel.onsets"; failed=1; }
done
exit "${failed:-0}"
