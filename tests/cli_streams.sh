#!/usr/bin/env bash
# chimex-cli with pipes, devices and processes that die: what a shell user meets and a unit test
# cannot stage. Usage: cli_streams.sh CHIMEX_CLI
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
printf '24 0.5\n26 0.5 0.1\n28 1\n' >"$work/score.txt"

# A score from a pipe, and from standard input as "-".
cat "$work/score.txt" | "$cli" render /dev/stdin -o "$work/piped.txt" 2>"$work/err"
grep -q ': 3 notes placed' "$work/err" || fail "piped score: $(cat "$work/err")"
"$cli" render - -o "$work/stdin.txt" <"$work/score.txt" 2>"$work/err"
cmp -s "$work/piped.txt" "$work/stdin.txt" || fail "standard input: $(cat "$work/err")"

# A part file and G-code checked from a pipe are read from their first line.
"$cli" render "$work/score.txt" -o "$work/song.ngc" --format gcode --dialect grbl --unit mm 2>/dev/null
for file in piped.txt song.ngc; do
    cat "$work/$file" | "$cli" check - >"$work/report" 2>&1 ||
        fail "check of piped $file: $(cat "$work/report")"
done

# Standard input that is the output file is refused before anything is written.
cp "$work/score.txt" "$work/same.txt"
status=0
"$cli" render - -o "$work/same.txt" <"$work/same.txt" 2>/dev/null || status=$?
test "$status" = 2 && cmp -s "$work/score.txt" "$work/same.txt" || fail "render - -o its input"

# A device is written through, never replaced by a plain file.
"$cli" render "$work/score.txt" -o /dev/stdout 2>/dev/null | cmp -s - "$work/piped.txt" ||
    fail "-o /dev/stdout"
"$cli" render "$work/score.txt" -o /dev/null 2>/dev/null
test -c /dev/null || fail "/dev/null is no longer a device"

# "-o -" is standard output, as "-" is standard input.
"$cli" render "$work/score.txt" -o - 2>/dev/null | cmp -s - "$work/piped.txt" || fail "-o -"
test ! -e ./- || fail "-o - made a file named -"

# Violations are written as they are found: a long file of bad lines is checked in flat memory.
if [ -z "${ASAN_OPTIONS:-}" ]; then
    awk 'BEGIN { for (i = 0; i < 1000000; i++) print "not a part-file line" }' >"$work/bad.txt"
    status=0
    (ulimit -v 60000 && "$cli" check "$work/bad.txt" >"$work/report" 2>"$work/err") || status=$?
    test "$status" = 1 && grep -q '^1000009 violations found' "$work/report" ||
        fail "check of 1000000 bad lines ended with $status: $(cat "$work/err")"
fi

# An endless "MIDI file" is refused once it is far larger than any score.
status=0
{ printf 'MThd'; head -c 300000000 /dev/zero; } | "$cli" render - -o "$work/endless.txt" \
    2>"$work/err" || status=$?
test "$status" = 4 && grep -q 'larger than 256 MB' "$work/err" ||
    fail "endless MIDI ended with $status: $(cat "$work/err")"

# A full standard output is a failure of the output.
status=0
"$cli" check "$work/piped.txt" --json >/dev/full 2>"$work/err" || status=$?
test "$status" = 5 || fail "check > /dev/full ended with $status: $(cat "$work/err")"

status=0
"$cli" listen "$work/piped.txt" -o /dev/full --steps-per-unit 400 2>"$work/err" || status=$?
test "$status" = 5 && grep -q '/dev/full: .*No space left on device' "$work/err" ||
    fail "listen -o /dev/full ended with $status: $(cat "$work/err")"
test -c /dev/full || fail "/dev/full is no longer a device"

# A MIDI file of 2,000,000 note events renders in about its own size of memory (the parsed
# song took 20 times its size). Address Sanitizer reserves more than any such limit.
if [ -z "${ASAN_OPTIONS:-}" ]; then
    perl -e 'my $body = "\x00\x90\x3c\x40";
        for my $i (0 .. 999999) { my $k = 60 + $i % 12; $body .= pack("C6", 1, $k, 64, 1, $k, 0) }
        $body .= "\x00\xff\x2f\x00";
        print "MThd", pack("NnnnA4N", 6, 0, 1, 96, "MTrk", length $body), $body' >"$work/big.mid"
    (ulimit -v 110000 && "$cli" render "$work/big.mid" -o "$work/big.txt" 2>"$work/err") ||
        fail "MIDI under 110 MB: $(cat "$work/err")"
fi

# A replaced output keeps its mode.
chmod 600 "$work/piped.txt"
"$cli" render "$work/score.txt" -o "$work/piped.txt" 2>/dev/null
test "$(stat -c %a "$work/piped.txt")" = 600 || fail "mode $(stat -c %a "$work/piped.txt")"

# A render (also one to G-code) killed half-way by any signal leaves nothing in the temporary
# folder or beside its output.
mkdir "$work/tmp" "$work/out"
mkfifo "$work/slow"
for kill in KILL TERM INT HUP; do
    for format in part gcode; do
        options=(-o "$work/out/killed.txt")
        [ "$format" = part ] || options+=(--format gcode --dialect grbl --unit mm)
        TMPDIR="$work/tmp" "$cli" render "$work/slow" "${options[@]}" 2>/dev/null &
        render=$!
        exec 3>"$work/slow"
        for i in $(seq 1 20000); do echo "$((i % 37)) 0.01"; done >&3
        sleep 0.3
        kill -s "$kill" "$render"
        exec 3>&-
        wait "$render" || true
        left="$(ls -A "$work/tmp")$(ls -A "$work/out")"
        test -z "$left" || fail "SIG$kill, $format left behind: $left"
    done
done
echo "pipes, devices, a full standard output, endless and large inputs and killed renders handled"
