#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get as a user would, checks the desktop
# integration and removes it again. Runs as root (it installs into the system).
# Usage: scripts/package-test.sh [--keep]     (--keep leaves the package installed)
set -euo pipefail
cd "$(dirname "$0")/.."
keep=0
[ "${1:-}" = --keep ] && keep=1

if [ "$(id -u)" -ne 0 ]; then
    echo "package-test.sh installs a package: run it as root" >&2
    exit 2
fi
export DEBIAN_FRONTEND=noninteractive
scripts/deps.sh test
# xdg-mime asks the mimetype tool (libfile-mimeinfo-perl) for file types; without it
# it falls back to file(1), which knows nothing of *.mc.
# man-db answers "man kiv" for the installed page.
for p in libfile-mimeinfo-perl man-db; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
        || apt-get install -y -qq --no-install-recommends "$p"
done

build=build-deb
rm -f "$build"/kiv_*.deb
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
      -DKIV_DATA_DIR=/usr/share/kiv -DKIV_BUILD_TESTS=OFF -DKIV_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)" --target kiv
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/kiv_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb"

apt-get install -y "./$deb"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { if "$@"; then echo "ok: $*"; else fail "$*"; fi; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
xdg() { env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION xdg-mime "$@"; }

check test -x /usr/bin/kiv
check desktop-file-validate /usr/share/applications/kiv.desktop
check test -f /usr/share/mime/packages/kiv-mc.xml
check test -f /usr/share/kiv/icona.png
check test -d /usr/share/kiv/icons
check test -f /usr/share/doc/kiv/guide.md
check test -f /usr/share/doc/kiv/examples/ping.mc
manpage=$(man -w kiv 2>/dev/null || true)
[ -n "$manpage" ] && echo "ok: man page at $manpage" || fail "man kiv finds no page"

default=$(xdg query default application/x-kiv-mc)
[ "$default" = kiv.desktop ] && echo "ok: default handler $default" \
    || fail "xdg-mime query default application/x-kiv-mc gave '$default'"
printf '<vlayout>\n  <label text="hello"/>\n</vlayout>\n' >"$scratch/some.mc"
type=$(xdg query filetype "$scratch/some.mc")
[ "$type" = application/x-kiv-mc ] && echo "ok: some.mc is $type" \
    || fail "xdg-mime query filetype some.mc gave '$type'"

version=$(sed -n 's/^project(kiv VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=$(QT_QPA_PLATFORM=offscreen timeout 20 kiv --version </dev/null 2>&1 || true)
case $out in
    *"$version"*) echo "ok: kiv --version: $out" ;;
    *) fail "kiv --version printed '$out', expected $version" ;;
esac

if [ $keep -eq 0 ]; then
    apt-get remove -y --purge kiv
    [ ! -e /usr/bin/kiv ] || fail "/usr/bin/kiv is still there after removal"
    ! grep -q 'application/x-kiv-mc' /usr/share/mime/globs2 \
        || fail "the mime database still knows application/x-kiv-mc after removal"
    ! grep -q 'kiv.desktop' /usr/share/applications/mimeinfo.cache 2>/dev/null \
        || fail "the desktop database still lists kiv.desktop after removal"
fi

if [ $failures -ne 0 ]; then
    echo "package test: $failures check(s) failed"
    exit 1
fi
echo "package test: all checks passed"
