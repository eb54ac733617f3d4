#!/usr/bin/env bash
# Installs the Debian packages the project needs (when they are missing), then configures and
# builds one preset: all of it, or only the targets named.
# Usage: scripts/setup.sh PRESET [test|package] [TARGET...]
#   ("test" adds the test tooling, "package" what building the Debian package needs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}
shift || true
source "$root/scripts/packages.sh"
packages="$CHIMEX_BUILD_PACKAGES"
case "${1:-}" in
test) packages="$packages $CHIMEX_TEST_PACKAGES"; shift ;;
package) packages="$packages $CHIMEX_PACKAGE_PACKAGES"; shift ;;
esac
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done

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
cmake --build --preset "$preset" -j "$(nproc)" "${targets[@]}"
