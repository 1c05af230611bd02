#!/usr/bin/env bash
# Installs what is missing, builds kiv with its tests and runs every test stage:
# the suite (unit, widget and end-to-end tests), the suite again under the
# sanitizers, a minute of fuzzing, and in CI the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
stage() { echo "test.sh: $* (after $((SECONDS - started)) s)"; }

scripts/deps.sh test
jobs=$(nproc)

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

stage "building kiv, its tests and benchmarks in build/"
# Tests on explicitly: the run command's build shares this tree.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIV_BUILD_TESTS=ON
cmake --build build -j"$jobs"
stage "running the suite"
ctest --test-dir build --output-on-failure -j"$jobs"

# Further stages (sanitizers, fuzzing) live in their own scripts.
for script in scripts/test-sanitize.sh scripts/test-fuzz.sh; do
  stage "$script"
  "$script"
done

# The Debian package is installed into the system and removed again: done in CI, or
# where asked for (KIV_TEST_PACKAGE=1), as root.
if [ "$(id -u)" -eq 0 ] && { [ "${CI:-}" = true ] || [ "${KIV_TEST_PACKAGE:-}" = 1 ]; }; then
  stage "scripts/package-test.sh"
  scripts/package-test.sh
fi
stage "all test stages passed"
