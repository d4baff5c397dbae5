#!/usr/bin/env bash
# Builds the Debian package build/package/nebrisk_<version>_<arch>.deb (installs to /usr, /etc).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="$root/build/package"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DNEBRISK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target nebrisk
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/nebrisk_*.deb
