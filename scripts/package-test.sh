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
scripts/deps.sh package
# Wait for another apt or dpkg run to finish rather than fail at once.
apt=(apt-get -o DPkg::Lock::Timeout=600)

build=build-deb
rm -f "$build"/kiv_*.deb
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
      -DKIV_DATA_DIR=/usr/share/kiv -DKIV_BUILD_TESTS=OFF -DKIV_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)" --target kiv
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/kiv_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { if "$@"; then echo "ok: $*"; else fail "$*"; fi; }

# Any error or warning of lintian fails; its notes on running as root do not.
if lintian --fail-on error,warning "$deb"; then
    echo "ok: lintian finds no errors or warnings"
else
    fail "lintian $deb"
fi

"${apt[@]}" install -y "./$deb"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
xdg() { env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION xdg-mime "$@"; }

# The package's own files, by their paths: a kiv installed elsewhere (a cmake
# --install into /usr/local) must not stand in for them.
owned=$(dpkg -L kiv)
for path in /usr/bin/kiv /usr/share/applications/kiv.desktop /usr/share/mime/packages/kiv-mc.xml \
            /usr/share/metainfo/org.example.kiv.metainfo.xml /usr/share/icons/hicolor/scalable/apps/kiv.svg \
            /usr/share/icons/hicolor/64x64/apps/kiv.png /usr/share/kiv/icona.png /usr/share/kiv/icons \
            /usr/share/man/man1/kiv.1.gz /usr/share/doc/kiv/copyright /usr/share/doc/kiv/changelog.gz \
            /usr/share/doc/kiv/guide.md /usr/share/doc/kiv/examples/ping.mc; do
    if grep -qx -- "$path" <<<"$owned" && [ -e "$path" ]; then echo "ok: $path"; else fail "kiv does not install $path"; fi
done
check test -x /usr/bin/kiv
check desktop-file-validate /usr/share/applications/kiv.desktop
check appstreamcli validate --no-net /usr/share/metainfo/org.example.kiv.metainfo.xml
# The icons directory links into the icon theme by relative paths, and every link
# finds its picture.
icons=0
for link in /usr/share/kiv/icons/*.png; do
    icons=$((icons + 1))
    case $(readlink "$link") in
        /*) fail "$link is an absolute link" ;;
    esac
    file -bL "$link" | grep -q '^PNG image' || fail "$link does not lead to a picture"
done
[ "$icons" -ge 50 ] && echo "ok: $icons pictures in /usr/share/kiv/icons" || fail "only $icons pictures in /usr/share/kiv/icons"
manpage=$(man -w kiv 2>/dev/null || true)
[ "$manpage" = /usr/share/man/man1/kiv.1.gz ] && echo "ok: man kiv finds $manpage" \
    || fail "man kiv finds '$manpage', not the package's page"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l /usr/share/man/man1/kiv.1.gz 2>&1 >/dev/null || true)
[ -z "$warnings" ] && echo "ok: man --warnings finds nothing" || fail "man --warnings: $warnings"

default=$(xdg query default application/x-kiv-mc)
[ "$default" = kiv.desktop ] && echo "ok: default handler $default" \
    || fail "xdg-mime query default application/x-kiv-mc gave '$default'"
printf '<vlayout>\n  <label text="hello"/>\n</vlayout>\n' >"$scratch/some.mc"
type=$(xdg query filetype "$scratch/some.mc")
[ "$type" = application/x-kiv-mc ] && echo "ok: some.mc is $type" \
    || fail "xdg-mime query filetype some.mc gave '$type'"

version=$(sed -n 's/^project(kiv VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 /usr/bin/kiv --version </dev/null 2>&1 || true)
case $out in
    *"$version"*) echo "ok: kiv --version: $out" ;;
    *) fail "kiv --version printed '$out', expected $version" ;;
esac
status=0
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 /usr/bin/kiv \
      /usr/share/doc/kiv/examples/demo.mc </dev/null 2>&1) || status=$?
[ $status = 1 ] && grep -q '^kiv: cannot open a display' <<<"$out" && echo "ok: without a display: $out" \
    || fail "kiv without a display: status $status, output: $out"

if [ $keep -eq 0 ]; then
    "${apt[@]}" remove -y --purge kiv
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
