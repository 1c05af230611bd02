#!/usr/bin/env bash
# Builds kiv in Release (build-bench) and runs every benchmark, printing each
# figure next to its reference. The start-up benchmark needs Xvfb and libx11-dev;
# it and the --watch benchmark are skipped with a note when either is missing.
# Usage: bench/run.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
build=build-bench

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKIV_BUILD_TESTS=OFF -DKIV_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), Debian $(cat /etc/debian_version 2>/dev/null || echo '?')"
status=0
for bench in "$build"/bench/bench_*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  name=$(basename "$bench")
  case $name in bench_startup | bench_watch) continue ;; esac
  echo
  echo "== $name"
  case $name in
    bench_core | bench_parse | bench_textlog | bench_table) "$bench" "$runs" || status=1 ;;
    bench_latency) "$bench" 3 || status=1 ;;
    *) "$bench" || status=1 ;;
  esac
done

echo
echo "== bench_startup"
form=examples/demo.mc
if [ ! -x "$build/bench/bench_startup" ]; then
  echo "skipped: bench_startup was not built (libx11-dev missing?)"
elif ! command -v Xvfb >/dev/null; then
  echo "skipped: Xvfb is not installed"
elif [ ! -f "$form" ]; then
  echo "skipped: $form does not exist"
else
  display=$(( 500 + $$ % 400 ))
  Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    xdpyinfo -display ":$display" >/dev/null 2>&1 && break
    sleep 0.1
  done
  # Commands in the form run from a scratch directory.
  scratch=$(mktemp -d)
  # The form without build-time commands is the one to compare with the same
  # widgets written in code; the demo itself adds its commands' cost.
  # new-inputs.mc is compared with its input widgets written in code, and
  # new-inputs-static.mc (the same widgets, no build-time command) likewise.
  for f in bench/forms/demo-static.mc bench/forms/new-inputs-static.mc bench/forms/new-inputs.mc "$form"; do
    ( cd "$scratch" && DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
        "$OLDPWD/$build/bench/bench_startup" "$OLDPWD/$build/kiv" "$OLDPWD/$f" "$runs" ) || status=1
  done
  # --watch: the save of each form to its rebuilt window painted, vs a fresh start.
  echo
  echo "== bench_watch"
  for f in bench/forms/demo-static.mc bench/forms/new-inputs.mc "$form"; do
    ( cd "$scratch" && DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
        "$OLDPWD/$build/bench/bench_watch" "$OLDPWD/$build/kiv" "$OLDPWD/$f" "$runs" ) || status=1
  done
  rm -rf "$scratch"
fi
exit $status
