#!/usr/bin/env bash
# Installs what is missing, builds and installs kiv, and opens the demo form.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo cmake --install build
cd examples
exec ../build/kiv demo.mc
