#!/usr/bin/env bash
# The real program under Xvfb: an icon list driven with real double clicks.
# Usage: sh_iconlist.sh KIV_BINARY SOURCE_DIR
set -u

kiv=$(realpath "${1:?kiv binary}")
[ -x "$kiv" ] || { echo "FAIL: $1 is not an executable"; exit 1; }
for tool in Xvfb xdotool xdpyinfo; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
done

work=$(mktemp -d)
xvfb_pid=
kiv_pid=
cleanup() {
    [ -n "$kiv_pid" ] && kill "$kiv_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# A display of our own, derived from the PID, skipping any that is taken.
display=$((200 + $$ % 700))
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"

# Rows of a known height in list mode; the list is the whole form. The content
# command leaves a mark, so that we know the form was really built.
out="$work/out"
mkdir "$out"
cat >"$work/form.mc" <<'EOF'
<iconlist var="PICK" mode="list" iconwidth="40" iconheight="40" width="320" height="260" code="touch $KIV_OUT/built; printf 'alpha\nbeta'">
  <ondoubleclick>echo "list:$PICK" >> "$KIV_OUT/list"</ondoubleclick>
  <icon text="gamma"><ondoubleclick>echo "entry:$PICK" >> "$KIV_OUT/entry"</ondoubleclick></icon>
  <icon text="delta" src="folder.png"/>
</iconlist>
EOF

mkdir "$work/run"
chmod 700 "$work/run"
(cd "$work" && XDG_RUNTIME_DIR="$work/run" KIV_OUT="$out" exec "$kiv" form.mc >"$work/kiv.log" 2>&1) &
kiv_pid=$!

for _ in $(seq 300); do
    [ -e "$out/built" ] && break
    kill -0 "$kiv_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$kiv_pid" 2>/dev/null || fail "kiv ended while building the form: $(cat "$work/kiv.log")"
if [ ! -e "$out/built" ]; then
    fail "kiv built no icon list from the form"
fi

wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$kiv_pid" | head -n 1)
[ -n "$wid" ] || fail "no window appeared"
xdotool windowfocus --sync "$wid" 2>/dev/null
eval "$(xdotool getwindowgeometry --shell "$wid")"
[ "$WIDTH" -ge 320 ] && [ "$HEIGHT" -ge 260 ] || fail "window ${WIDTH}x$HEIGHT is smaller than the list"

# Row heights depend on the style and on which pictures exist, so instead of
# guessing where each entry is, double-click down the list in small steps: every
# entry is hit at least once, and each hit reports which entry it was.
step=6
for ((dy = 2; dy < 240; dy += step)); do
    xdotool mousemove --sync $((X + 40)) $((Y + dy)) click --repeat 2 --delay 40 1
    sleep 0.6 # longer than the double-click interval: the next hit starts afresh
done

wait_for_line() { # file expected
    for _ in $(seq 100); do
        [ -e "$1" ] && grep -qx -- "$2" "$1" && return 0
        sleep 0.1
    done
    return 1
}
wait_for_line "$out/list" "list:delta" || fail "no double click reached the last entry: $(cat "$out/list" 2>/dev/null)"

# The hits in order, repeats of the same entry folded into one.
list_hits=$(uniq "$out/list" | tr '\n' ' ')
entry_hits=$(uniq "$out/entry" 2>/dev/null | tr '\n' ' ')
# Content entries and an entry without a command run the list's command, with
# the double-clicked entry already selected; an entry with its own command runs
# only that one.
[ "$list_hits" = "list:alpha list:beta list:delta " ] || fail "list command hits: $list_hits"
[ "$entry_hits" = "entry:gamma " ] || fail "entry command hits: $entry_hits"

kill -0 "$kiv_pid" 2>/dev/null || fail "kiv ended early: $(cat "$work/kiv.log")"
echo "PASS: icon list double clicks"
