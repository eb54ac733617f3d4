#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the warnings-as-errors build with every test,
# then the logic tests again under Address and Undefined Behavior sanitizers, then short bounded
# libFuzzer runs (clang) under the same sanitizers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh" ci test
ctest --preset ci -j "$(nproc)"

"$root/scripts/setup.sh" asan test
ctest --preset asan -L logic -j "$(nproc)"

"$root/scripts/setup.sh" fuzz test
ctest --preset fuzz
