#!/usr/bin/env bash
# The package checked with the ecosystem's own tools: lintian (no errors; its warnings are
# printed), desktop-file-validate on the menu entry and appstreamcli on the AppStream metadata;
# then the manual pages and the bash completion of chimex-cli.
# Usage: validate.sh PACKAGE.deb
set -euo pipefail
deb=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

lintian --fail-on error --info "$deb" || fail "lintian"
dpkg -x "$deb" "$work"
desktop-file-validate "$work"/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$work"/usr/share/metainfo/*.metainfo.xml ||
    fail "appstreamcli validate"

for program in chimex chimex-cli; do
    zcat "$work/usr/share/man/man1/$program.1.gz" | grep -q "^\.SH FILES\|Files:" ||
        fail "the manual page of $program does not say where the files are"
done
source "$work/usr/share/bash-completion/completions/chimex-cli"
complete_words() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _chimex_cli; echo "${COMPREPLY[*]}"; }
[ "$(complete_words chimex-cli ch)" = check ] || fail "completion of the command"
[ "$(complete_words chimex-cli render song.mid --t)" = "--track --transpose" ] ||
    fail "completion of render's options"
[ "$(complete_words chimex-cli convert song.txt --z-a)" = "--z-accel" ] ||
    fail "completion of convert's options"
echo "PASS"
