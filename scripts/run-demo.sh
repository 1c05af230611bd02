#!/usr/bin/env bash
# Opens the demo form: installs the Debian packages that building kiv needs (once,
# through sudo when not root), builds the kiv program alone in build/ and runs it
# from there. Nothing else is installed: the demo's pictures come from the build
# tree, and build/kiv works from there until you install it.
set -euo pipefail
cd "$(dirname "$0")/.."
say() { printf 'run-demo: %s\n' "$*"; }

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    say "no graphical session here (neither DISPLAY nor WAYLAND_DISPLAY is set): kiv shows windows,"
    say "so run this from a desktop session. Building anyway."
fi

say "checking the Debian packages that building kiv needs (the first time, apt-get installs"
say "cmake, g++ and Qt 6's development files: about 2½ minutes, depending on the network)"
scripts/deps.sh run

say "building kiv in build/: the program alone, 1 to 2½ minutes on two cores the first time,"
say "seconds after that (bash scripts/test.sh builds the tests into the same tree)"
start=$SECONDS
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target kiv
say "built in $((SECONDS - start)) s; opening examples/demo.mc (close its window to end)"
cd examples
exec ../build/kiv demo.mc
