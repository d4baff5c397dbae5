#!/usr/bin/env bash
# Runs every test: the behaviour tests on the headless desktop under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the end-to-end tests of the real executable on a private
# X desktop, then a short fuzzing run of each fuzz target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
jobs="$(nproc)"

echo "== unit tests (headless desktop, ASan + UBSan)"
asan="$root/build/asan"
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DNEBRISK_DESKTOP=OFF -DNEBRISK_TESTS=ON -DNEBRISK_SANITIZE=ON >/dev/null
cmake --build "$asan" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$asan" -L unit --output-on-failure -j"$jobs"

echo "== end-to-end tests (real executable, Xvfb + openbox + picom + D-Bus)"
release="$root/build/release"
cmake -S "$root" -B "$release" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DNEBRISK_DESKTOP=ON -DNEBRISK_TESTS=ON >/dev/null
cmake --build "$release" -j"$jobs"
# The Debian package of this build; the package test installs it and starts the installed client.
(cd "$release" && cpack -G DEB >/dev/null)
deb="$(ls "$release"/nebrisk_*.deb | head -n1)"
NEBRISK_DEB="$deb" "$root/scripts/with-desktop.sh" ctest --test-dir "$release" -L e2e --output-on-failure

if [ -x "$root/scripts/fuzz.sh" ]; then
  echo "== short fuzzing run"
  "$root/scripts/fuzz.sh" "${NEBRISK_FUZZ_SECONDS:-20}"
fi
echo "== all tests passed"
