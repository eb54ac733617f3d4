#!/usr/bin/env bash
# Sets everything up, builds the Release Debian package chimex_<version>_amd64.deb and prints its
# path. Install it with: sudo apt-get install ./build/package/chimex_*_amd64.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" package package chimex chimex-cli chimex_install_files >&2
cd "$root/build/package"
rm -f chimex_*.deb
cpack >&2
ls "$root"/build/package/chimex_*_amd64.deb
