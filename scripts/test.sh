#!/usr/bin/env bash
# Installs what is missing, builds kiv from nothing and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# Further stages (sanitizers, fuzzing) live in their own scripts.
for stage in scripts/test-sanitize.sh scripts/test-fuzz.sh; do
  "$stage"
done

# The Debian package is installed into the system and removed again: done in CI, or
# where asked for (KIV_TEST_PACKAGE=1), as root.
if [ "$(id -u)" -eq 0 ] && { [ "${CI:-}" = true ] || [ "${KIV_TEST_PACKAGE:-}" = 1 ]; }; then
  scripts/package-test.sh
fi
echo "all test stages passed"
