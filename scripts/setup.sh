#!/usr/bin/env bash
# Installs the Debian packages the project needs (when they are missing), then configures and
# builds one preset. Usage: scripts/setup.sh PRESET [test]   ("test" adds the test tooling)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}
source "$root/scripts/packages.sh"
packages="$CHIMEX_BUILD_PACKAGES"
if [ "${2:-}" = test ]; then
    packages="$packages $CHIMEX_TEST_PACKAGES"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing:$missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq $missing
    else
        echo "These Debian packages are missing:$missing"
        echo "Install them as root, then run this command again:"
        echo "  sudo apt-get update && sudo apt-get install -y$missing"
        exit 1
    fi
fi

cd "$root"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
