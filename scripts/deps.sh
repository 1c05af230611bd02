#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing kiv need.
# Usage: scripts/deps.sh [run|test|package]
#   run      building kiv (lrelease: qt6-l10n-tools) and opening a form
#   test     also the test suite: Xvfb, xdotool, xmodmap, Weston and Qt's Wayland
#            plugin, the sanitizer and fuzzing compilers, the install checks' tools,
#            Qt's own translations
#   package  also the Debian package checks: lintian, man-db
set -euo pipefail
mode=${1:-test}
pkgs=(cmake make g++ qt6-base-dev qt6-l10n-tools libqt6test6 adwaita-icon-theme fonts-dejavu-core)
case $mode in
    run) ;;
    test | package)
        pkgs+=(xvfb xdotool x11-utils x11-xserver-utils imagemagick clang libclang-rt-14-dev
               desktop-file-utils shared-mime-info xdg-utils dpkg-dev file libx11-dev
               libfile-mimeinfo-perl groff-base bsdextrautils weston qt6-wayland appstream
               openbox qt6-translations-l10n)  # openbox: a window manager, for Alt+F4 in tests/sh_live.sh
        # xdg-mime asks the mimetype tool (libfile-mimeinfo-perl) for file types. For the
        # package: man-db answers "man kiv", lintian checks it as Debian would.
        [ "$mode" = package ] && pkgs+=(man-db lintian)
        ;;
    *) echo "usage: scripts/deps.sh [run|test|package]" >&2; exit 2 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Wait for another apt or dpkg run to finish rather than fail at once.
apt=(apt-get -o DPkg::Lock::Timeout=600)
$sudo "${apt[@]}" update -qq
$sudo "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
