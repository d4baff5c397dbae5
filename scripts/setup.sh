#!/usr/bin/env bash
# Installs every Debian package the client needs to build, run and be tested. Safe to repeat:
# packages already present are not downloaded again.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config libgtk-3-dev libwebkit2gtk-4.1-dev libpng-dev
  googletest libgtest-dev libbenchmark-dev libspng-dev
  # run: the client's captions, question box and button art are Chinese
  fonts-wqy-zenhei libglib2.0-bin
  # end-to-end tests: a private X server, window manager, compositor, D-Bus, input and screenshots
  xvfb xauth x11-utils xdotool openbox picom imagemagick dbus dbus-x11
  python3 python3-gi gir1.2-gtk-3.0 trayer haskell-gtk-sni-tray-utils desktop-file-utils
  # fuzzing
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
