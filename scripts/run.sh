#!/usr/bin/env bash
# Builds the client and runs it on the offline demo portal. Uses $DISPLAY when there is one;
# otherwise starts a private desktop, runs the client for a while and saves a screenshot.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNEBRISK_DESKTOP=ON -DNEBRISK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target nebrisk

# config.ini lives beside the executable: point the launcher page and the four links at the demo portal.
portal="file://$root/examples/demo-portal"
cat > "$build/src/config.ini" <<INI
[tova]
client_web=$portal/launcher.html
home_url=$portal/README.md
recharge_url=$portal/README.md#recharge
service_url=$portal/README.md#service
forum_url=$portal/README.md#forum
INI

if [ -n "${DISPLAY:-}" ]; then
  exec "$build/src/nebrisk"
fi
echo "No display: running on a private desktop for ${NEBRISK_DEMO_SECONDS:-15} s; screenshot in $build/screenshot.png"
exec "$root/scripts/with-desktop.sh" bash -c '
  "$1/src/nebrisk" & pid=$!
  sleep "${NEBRISK_DEMO_SECONDS:-15}"
  import -window root "$1/screenshot.png"
  kill $pid; wait $pid 2>/dev/null || true' _ "$build"
