#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing kiv need.
# Usage: scripts/deps.sh [run|test]
set -euo pipefail
mode=${1:-test}
pkgs=(cmake make g++ qt6-base-dev libqt6test6 adwaita-icon-theme fonts-dejavu-core)
if [ "$mode" = test ]; then
  pkgs+=(xvfb xdotool x11-utils imagemagick clang libclang-rt-14-dev desktop-file-utils
         shared-mime-info xdg-utils dpkg-dev file libx11-dev libfile-mimeinfo-perl
         groff-base bsdextrautils)
  pkgs+=(openbox)  # a window manager, for Alt+F4 in tests/sh_live.sh
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
