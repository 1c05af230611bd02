#!/usr/bin/env bash
# The real kiv binary on hostile mc files: huge, deeply nested, unterminated,
# binary, empty, unreadable. For each, kiv must either show a window or exit on
# its own, and never die of a signal (a crash, an abort, a sanitizer report).
# Usage: sh_stress.sh KIV_BINARY SOURCE_DIR
set -euo pipefail
kiv=$1
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

# The hostile files. Python keeps the big ones quick to write.
python3 - "$work" <<'PY'
import os, random, sys
w = sys.argv[1]
def put(name, data):
    with open(os.path.join(w, name), "wb") as f:
        f.write(data)
put("huge-content.mc", b"<vlayout><textlog/><x>" + b"a" * 10_000_000 + b"</x></vlayout>")
put("many-siblings.mc", b"<vlayout>" + b"<x a=\"1\">t</x>" * 100_000 + b"</vlayout>")
put("nested-1000.mc", b"<vlayout>" * 1000 + b"</vlayout>" * 1000)
put("nested-1001.mc", b"<vlayout>" * 1001 + b"</vlayout>" * 1001)
put("nested-1000001.mc", b"<vlayout>" * 1_000_001)
put("unclosed-chain.mc", b"<vlayout>" * 999)
put("unterminated.mc", b"<vlayout><hlayout><x a=\"1")
put("no-tag.mc", b"just text, no element\n")
put("declarations-only.mc", b"<?xml version=\"1.0\"?>\n<?other?>\n")
put("empty.mc", b"")
put("nul-bytes.mc", b"<vlayout>\0<x>\0</x>\0</vlayout>\0")
put("invalid-utf8.mc", b"<vlayout><x a=\"\xff\xfe\">\xc3</x></vlayout>")
put("crlf.mc", b"<vlayout>\r\n<textlog/>\r\n</vlayout>\r\n")
random.seed(1208)
put("garbage.mc", bytes(random.getrandbits(8) for _ in range(200_000)))
put("tag-soup.mc", bytes(random.choice(b"<<>>//\"= ab\n") for _ in range(200_000)))
PY
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
