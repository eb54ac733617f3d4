#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the warnings-as-errors build with every test,
# then the Debian package made from that build (validated with lintian, desktop-file-validate and
# appstreamcli, and run as installed by an unprivileged user), then the logic tests again under
# Address and Undefined Behavior sanitizers, then short bounded libFuzzer runs (clang) under the
# same sanitizers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" ci test
ctest --preset ci -j "$(nproc)"

# The package is made from the ci build's programs (CPack strips them) rather than from a second,
# Release build: what is checked is the packaging, and the programs are the ones just tested.
(cd build/ci && rm -f chimex_*.deb && cpack >/dev/null)
deb=$(ls build/ci/chimex_*_amd64.deb)
tests/package/validate.sh "$deb"
tests/package/installed_program.sh "$deb" build/ci/tests/app/level_scan

"$root/scripts/setup.sh" asan test
ctest --preset asan -L logic -j "$(nproc)"

"$root/scripts/setup.sh" fuzz test
ctest --preset fuzz
