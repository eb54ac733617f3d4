#!/usr/bin/env bash
# Sets everything up, builds the desktop program and starts it from its run folder (the program,
# its notes/ sounds and, after the first run, Chimex.ini). Builds only what it starts, with
# chimex-cli beside it; scripts/test.sh builds everything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" default chimex chimex-cli
exec "$root/build/default/run/chimex"
