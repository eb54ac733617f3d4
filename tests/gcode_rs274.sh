#!/usr/bin/env bash
# Reads the LinuxCNC G-code of chimex-cli with LinuxCNC's own interpreter (rs274 -g prints the
# canonical machine commands): it must run without an error, and each feed move must end where the
# part file rendered from the same score jogs to, at the same feed (its speed times 60).
# Usage: gcode_rs274.sh CHIMEX_CLI
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk 'BEGIN { srand(7); print "# key hold gap"
             for (i = 0; i < 300; i++) printf "%d %.3f %.3f\n", int(rand() * 37), 0.05 + rand(), rand() / 2 }' \
    >"$work/score.txt"

# The part file's jogs as "x y z feed" lines: positions replayed from 0, 0, 0, feed = speed x 60.
part_moves() {
    tr -d '\r' <"$1" | awk -F', *' '
        /^JS,,/ { z = $3 * 60; next }
        /^JS,/  { xy = $2 * 60; next }
        /^J3,/  { if ($0 ~ /^J3, 0, 0, 0$/) next
                  if ($2 != "") { p[1] = $2; f = xy } else if ($3 != "") { p[2] = $3; f = xy }
                  else { p[3] = $4; f = z }
                  printf "%.4f %.4f %.4f %.4f\n", p[1], p[2], p[3], f }'
}

# rs274's feed moves as "x y z feed" lines.
rs274_moves() {
    awk -F'[(,)]' '
        /SET_FEED_RATE/ { f = $2 }
        /STRAIGHT_FEED/ { printf "%.4f %.4f %.4f %.4f\n", $2, $3, $4, f }' "$1"
}

check_one() {
    local name=$1 unit=$2
    shift 2
    "$cli" render "$work/score.txt" -o "$work/$name.txt" "$@"
    "$cli" render "$work/score.txt" -o "$work/$name.ngc" --format gcode --dialect linuxcnc \
        --unit "$unit" "$@"
    (cd "$work" && rs274 -g "$name.ngc" >"$name.canon" 2>"$name.err" </dev/null) ||
        { echo "rs274 refused $name.ngc:"; cat "$work/$name.err"; exit 1; }
    part_moves "$work/$name.txt" >"$work/$name.expected"
    rs274_moves "$work/$name.canon" >"$work/$name.read"
    test "$(wc -l <"$work/$name.expected")" -gt 100
    paste -d' ' "$work/$name.expected" "$work/$name.read" | awk -v name="$name" '
        function off(a, b, tolerance) { d = a - b; if (d < 0) d = -d; return d > tolerance }
        off($1, $5, 0.00011) || off($2, $6, 0.00011) || off($3, $7, 0.00011) || off($4, $8, 0.00051) {
            print name ": move " NR " is " $5, $6, $7 " at F" $8 ", the part file says " $1, $2, $3 " at F" $4
            bad = 1 }
        END { exit bad }'
    cmp -s <(wc -l <"$work/$name.expected") <(wc -l <"$work/$name.read") ||
        { echo "$name: rs274 reads a different number of moves"; exit 1; }
}

check_one key-speeds in --pause
check_one tuned mm --pause --steps-per-unit 80 --z-steps-per-unit 400
echo "LinuxCNC's rs274 reads the G-code and moves where the part file jogs, at its feeds"
