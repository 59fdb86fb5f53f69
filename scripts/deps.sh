#!/usr/bin/env bash
# Installs what Zantor needs to build, run and test on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang-format clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-declarative-dev libgl-dev libsqlite3-dev
  libgtest-dev libbenchmark-dev libx11-dev
  xvfb xauth xdotool x11-xserver-utils python3 python3-xlib fonts-wqy-microhei
  python3-pyatspi at-spi2-core dbus-x11
  desktop-file-utils appstream sqlite3
  weston xwayland qt6-wayland lintian dpkg-dev file poppler-utils
  qt6-translations-l10n openbox
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
