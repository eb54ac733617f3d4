#!/usr/bin/env bash
# Plays chimex-cli's LinuxCNC G-code, timed with --accel, on LinuxCNC's own motion planner and
# checks every note's onset and the end of the tune against the score, within 3 ms. Each case is
# one simulation of a 40-note score, or of a 30-segment score of chords (one to three axes moving
# at once), whose first half is legato and second half has rests, or of a MIDI file's chords
# rendered with --voices 3, on a machine whose task times dwells every 0.2 ms, or every 1 or 10 ms
# as most machines' do, where the files time their rests by the machine's motion instead.
# Usage: timing.sh CHIMEX_CLI CHORD_GCODE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$1 chords=$2
work=$(mktemp -d)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
echo "work: $work"

# Travel and speeds large enough for every key at its true pitch on 80 steps/mm.
printf 'MaxX = 400\r\nMaxY = 300\r\nMaxZ = 100\r\nMAxXYSpeed = 25\r\nMAxZSpeed = 15\r\nADdPause = 0\r\n' \
    >"$work/Chimex.ini"
awk 'BEGIN { srand(22); print "# key hold gap"
             for (i = 0; i < 40; i++)
                 printf "%d %.3f %.3f\n", int(rand() * 37), 0.12 + rand() * 0.4,
                     (i >= 20 && rand() < 0.5) ? 0.05 + rand() * 0.3 : 0 }' >"$work/notes.txt"
# Each segment: one to three axes at the speeds of keys 0-36 at 80 steps/mm, either way.
awk 'function speed() { return (rand() < 0.5 ? -1 : 1) * 130.8128 * 2 ^ (int(rand() * 37) / 12) / 80 }
     BEGIN { srand(23); print "# start hold vx vy vz"
             for (i = 0; i < 30; i++) {
                 start += (i >= 15 && rand() < 0.5) ? 0.05 + rand() * 0.3 : 0
                 hold = 0.12 + rand() * 0.4
                 split("0 0 0", v); v[1 + int(rand() * 3)] = speed()
                 for (a = 1; a <= 3; a++)
                     if (v[a] == 0 && rand() < 0.6) v[a] = speed()
                 printf "%.3f %.3f %.4f %.4f %.4f\n", start, hold, v[1], v[2], v[3]; start += hold } }' \
    >"$work/chords.txt"

# score, acceleration (mm/s²), task cycle (s; 0.0002 unless given, and then not told to the file)
cases=("notes 500" "notes 100" "chords 500" "midi 500" "notes 500 0.001" "chords 500 0.01")

# One case: writes the timed file, plays it and measures it against the score within 3 ms.
play_case() {
    local score=$1 accel=$2 cycle=${3:-} status=0 name="$1-$2${3:+-$3}"
    if [ "$score" = notes ]; then
        "$cli" render "$work/notes.txt" -o "$work/$name.ngc" --format gcode --dialect linuxcnc \
            --unit mm --steps-per-unit 80 --accel "$accel" --pause --settings "$work/Chimex.ini" \
            ${cycle:+--task-cycle "$cycle"} 2>/dev/null
    elif [ "$score" = chords ]; then
        "$chords" "$work/chords.txt" "$work/$name.ngc" "$accel" 400 300 100 ${cycle:+"$cycle"}
    else
        # A real MIDI file's chords as chimex-cli renders them; the same render without --accel
        # keeps the score's time exactly and is the score measured against.
        local render=("$cli" render "$here/../chords/chords.mid" --format gcode --dialect linuxcnc
            --unit mm --voices 3 --steps-per-unit 80 --settings "$work/Chimex.ini")
        "${render[@]}" -o "$work/midi.ngc" 2>/dev/null
        "${render[@]}" -o "$work/$name.ngc" --accel "$accel" 2>/dev/null
    fi
    local measured=$work/$score.txt
    [ "$score" != midi ] || measured=$work/midi.ngc
    "$here/play.sh" "$accel" "$work/$name.ngc" "$work/$name.trace" ${cycle:+"$cycle"}
    "$here/measure.py" "$measured" "$work/$name.ngc" "$work/$name.trace" "$accel" 3 \
        >"$work/$name.onsets" || status=$?
    echo "$score, $accel mm/s²${cycle:+, task cycle $cycle s}: $(tail -n 1 "$work/$name.onsets")"
    return "$status"
}

# Dwells are timed by LinuxCNC's task process on an ordinary kernel: a machine busy with other work
# can wake it a few milliseconds late now and then, so a case that misses gets two more tries.
for case in "${cases[@]}"; do
    read -r score accel cycle <<<"$case"
    play_case "$score" "$accel" $cycle || play_case "$score" "$accel" $cycle ||
        play_case "$score" "$accel" $cycle ||
        { cat "$work/$score-$accel${cycle:+-$cycle}.onsets"; failed=1; }
done
exit "${failed:-0}"
