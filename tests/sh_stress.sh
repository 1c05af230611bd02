#!/usr/bin/env bash
# The real kiv binary on hostile mc files: huge, deeply nested, unterminated,
# binary, empty, unreadable. For each, kiv must either show a window or exit on
# its own, and never die of a signal (a crash, an abort, a sanitizer report).
# A file that fails is kept as kiv-stress-failed-*.mc in the outer TMPDIR.
# Usage: sh_stress.sh KIV_BINARY SOURCE_DIR
set -euo pipefail
kiv=$1
keep=${TMPDIR:-/tmp}
work=$(mktemp -d)
display=$(( 100 + $$ % 800 ))
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do
  xdpyinfo -display ":$display" >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo -display ":$display" >/dev/null 2>&1 || { echo "Xvfb :$display did not start"; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp
mkdir -m 700 "$XDG_RUNTIME_DIR" "$TMPDIR"

# The hostile files.
# (yes dies of SIGPIPE by design: kept out of the pipeline's status.)
repeat() { head -n "$2" < <(yes "$1") | tr -d '\n'; }
{ printf '<vlayout><textlog/><x>'; head -c 10000000 /dev/zero | tr '\0' a; printf '</x></vlayout>'; } > "$work/huge-content.mc"
{ printf '<vlayout>'; repeat '<x a="1">t</x>' 100000; printf '</vlayout>'; } > "$work/many-siblings.mc"
{ repeat '<vlayout>' 1000; repeat '</vlayout>' 1000; } > "$work/nested-1000.mc"
{ repeat '<vlayout>' 1001; repeat '</vlayout>' 1001; } > "$work/nested-1001.mc"
repeat '<vlayout>' 1000001 > "$work/nested-1000001.mc"
repeat '<vlayout>' 999 > "$work/unclosed-chain.mc"
printf '<vlayout><hlayout><x a="1' > "$work/unterminated.mc"
printf 'just text, no element\n' > "$work/no-tag.mc"
printf '<?xml version="1.0"?>\n<?other?>\n' > "$work/declarations-only.mc"
: > "$work/empty.mc"
printf '<vlayout>\0<x>\0</x>\0</vlayout>\0' > "$work/nul-bytes.mc"
printf '<vlayout><x a="\377\376">\303</x></vlayout>' > "$work/invalid-utf8.mc"
printf '<vlayout>\r\n<textlog/>\r\n</vlayout>\r\n' > "$work/crlf.mc"
head -c 200000 /dev/urandom > "$work/garbage.mc"
# Bytes drawn from the characters the scanner reacts to.
head -c 200000 /dev/urandom | tr '\000-\377' "$(for _ in $(seq 32); do printf '<>/"= ab\n'; done)" > "$work/tag-soup.mc"
mkdir "$work/a-directory.mc"
touch "$work/unreadable.mc" && chmod 000 "$work/unreadable.mc"

failed=0
run_one() {
  local file=$1 pid rc window
  ( cd "$work" && exec "$kiv" "$file" ) >"$work/out.log" 2>&1 &
  pid=$!
  # Whatever kiv does with the file, it must settle: a window, or an exit.
  # The limit only catches a hang; nothing here measures speed.
  window=
  for _ in $(seq 600); do
    kill -0 "$pid" 2>/dev/null || break
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.2
  done
  if kill -0 "$pid" 2>/dev/null; then
    if [ -z "$window" ]; then
      echo "FAIL $file: neither a window nor an exit"
      [ -f "$file" ] && cp "$file" "${keep:-/tmp}/kiv-stress-failed-$(basename "$file")"
      failed=1
    fi
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ -n "$window" ] && echo "ok   $file: window shown"
    return
  fi
  rc=0
  wait "$pid" || rc=$?
  if [ "$rc" -ge 128 ]; then
    echo "FAIL $file: died of signal $((rc - 128))"
    sed -n 1,20p "$work/out.log"
    [ -f "$file" ] && cp "$file" "${keep:-/tmp}/kiv-stress-failed-$(basename "$file")"
    failed=1
  else
    echo "ok   $file: exit status $rc"
  fi
}

for f in "$work"/*.mc; do
  run_one "$f"
done
run_one "$work/does-not-exist.mc"
# No script file may be left behind.
if ls -A "$TMPDIR" | grep -q .; then
  echo "FAIL left in TMPDIR: $(ls -A "$TMPDIR")"
  failed=1
fi
exit $failed
