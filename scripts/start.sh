#!/usr/bin/env bash
# Sets everything up, builds the desktop program and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" default
program="$root/build/default/run/chimex"
if [ ! -x "$program" ]; then
    echo "Built the libraries and tests; the desktop program is not part of this version yet."
    exit 0
fi
exec "$program"
