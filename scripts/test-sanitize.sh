#!/usr/bin/env bash
# Builds kiv and its tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan) and runs the whole suite; any sanitizer report fails the stage.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
jobs=$(nproc)

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIV_SANITIZE=ON -DKIV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs"

# Leaks are suppressed only where the allocation happens inside a system library
# that keeps process-wide caches (fonts, the X connection, D-Bus, GLib): each
# pattern names a library module, never a kiv function or a Qt module that kiv
# code calls through (every test slot runs below QtCore, so naming QtCore would
# hide kiv's own leaks).
supp=$PWD/$build/lsan.supp
cat > "$supp" <<'SUPP'
leak:libfontconfig.so
leak:libfreetype.so
leak:libX11.so
leak:libxcb.so
leak:libxcb-xkb.so
leak:libxkbcommon.so
leak:libxkbcommon-x11.so
leak:libdbus-1.so
leak:libglib-2.0.so
leak:libgobject-2.0.so
leak:libGLX_mesa.so
leak:libEGL_mesa.so
leak:libgallium
SUPP

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$supp:print_suppressions=0
ctest --test-dir "$build" --output-on-failure -j"$jobs"
echo "sanitizer stage passed"
