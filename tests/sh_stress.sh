#!/usr/bin/env bash
# The real kiv binary on hostile mc files: huge, deeply nested, unterminated,
# binary, empty, unreadable. For each, kiv must either show a window or exit on
# its own, and never die of a signal (a crash, an abort, a sanitizer report).
# A file that fails is kept as kiv-stress-failed-*.mc in the outer TMPDIR.
# Usage: sh_stress.sh KIV_BINARY SOURCE_DIR
set -uo pipefail
KIV=$(realpath "${1:?kiv binary}")
SRC=$(realpath "${2:?source directory}")
keep=${TMPDIR:-/tmp}
# The 10 MB file under the sanitizers on a busy machine needs more than the usual wait.
KIV_TEST_WAIT=${KIV_TEST_WAIT:-120}
. "$SRC/tests/x11-session.sh"
x11_begin
work=$WORK
export TMPDIR=$work/tmp
mkdir "$TMPDIR"

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

# Whatever kiv does with a file, it must settle: a window, or an exit. The wait
# only catches a hang; nothing here measures speed.
settled() {
  kill -0 "$1" 2>/dev/null || return 0
  window=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n1)
  [ -n "$window" ]
}

keep_file() { [ -f "$1" ] && cp "$1" "$keep/kiv-stress-failed-$(basename "$1")"; }

run_one() {
  local file=$1 pid rc
  ( cd "$work" && exec "$KIV" "$file" ) >"$work/out.log" 2>&1 &
  pid=$!
  window=
  wait_until settled "$pid"
  if kill -0 "$pid" 2>/dev/null; then
    if [ -n "$window" ]; then
      ok "$file: window shown"
    else
      fail "$file: neither a window nor an exit"
      keep_file "$file"
    fi
    kill -TERM "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return
  fi
  rc=0
  wait "$pid" || rc=$?
  if [ "$rc" -ge 128 ]; then
    fail "$file: died of signal $((rc - 128)): $(sed -n 1,20p "$work/out.log")"
    keep_file "$file"
  else
    ok "$file: exit status $rc"
  fi
}

for f in "$work"/*.mc; do
  run_one "$f"
done
run_one "$work/does-not-exist.mc"
# No script file may be left behind.
[ -z "$(ls -A "$TMPDIR")" ] || fail "left in TMPDIR: $(ls -A "$TMPDIR")"
finish
