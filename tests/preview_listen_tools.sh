#!/usr/bin/env bash
# Reads what chimex-cli preview and listen write with other programs: libxml2's xmllint and
# librsvg's rsvg-convert take the SVG, sox's soxi the WAV, whose length must be the running
# time that check reports. Usage: preview_listen_tools.sh CHIMEX_CLI
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '# key hold gap\n0 0.5\n4 0.5 0.2\n7 0.5\n12 1.0 0.3\n24 0.4\n36 0.3\n19 0.6 0.1\n' \
    >"$work/score.txt"
"$cli" render "$work/score.txt" -o "$work/part.txt" --pause
"$cli" preview "$work/part.txt" -o "$work/a&b.svg" --unit '<in>'
xmllint --noout "$work/a&b.svg"
rsvg-convert "$work/a&b.svg" -o "$work/preview.png"
test -s "$work/preview.png"
# A picture of 30 MB whose groups hold more than 10 MB each: libxml2 reads it only in short
# elements.
awk 'BEGIN { printf "PAUSE 2\r\nJS, 0.366\r\n"
            for (i = 0; i < 700000; i++) printf "J3, %d.%03d\r\n", 1 + i % 2, i % 1000 }' \
    >"$work/big.txt"
"$cli" preview "$work/big.txt" -o "$work/big.svg"
test "$(stat -c %s "$work/big.svg")" -gt 10000000
xmllint --noout "$work/big.svg"

"$cli" listen "$work/part.txt" -o "$work/part.wav" --steps-per-unit 600
test "$(soxi -r "$work/part.wav")" = 44100
test "$(soxi -c "$work/part.wav")" = 1
test "$(soxi -b "$work/part.wav")" = 16
running=$("$cli" check "$work/part.txt" | sed -n 's/.*running time \([0-9.]*\) s.*/\1/p')
length=$(soxi -D "$work/part.wav")
awk -v a="$running" -v b="$length" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d < 0.001) }' ||
    { echo "WAV lasts $length s, check says $running s"; exit 1; }
echo "preview and listen output read by xmllint, rsvg-convert and soxi"
