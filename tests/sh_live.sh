#!/usr/bin/env bash
# The real program under Xvfb while its commands run: the window repaints, input
# made meanwhile is dropped, Escape stops the command's whole group, and a close or
# a signal ends kiv cleanly with its documented status, leaving no process of the
# command and no script behind.
# Usage: sh_live.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "${1:?kiv binary}")
[ -x "$KIV" ] || { echo "FAIL: $1 is not an executable"; exit 1; }
. "$(dirname "$0")/x11-session.sh"
x11_begin
command -v compare >/dev/null || { echo "SKIP: ImageMagick's compare is not installed"; exit 0; }

export OUT=$WORK/out TMPDIR=$WORK/tmp
mkdir "$OUT" "$TMPDIR"
if command -v openbox >/dev/null; then
    openbox >"$WORK/openbox.log" 2>&1 &
    _x11_pids+=($!)
    wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    wait_until wm_ready || die "openbox did not start: $(cat "$WORK/openbox.log")"
    wm=1
else
    echo "note: openbox is not installed; the Alt+F4 check is skipped"
    wm=0
fi

form() { # NAME: the mc text from stdin
    cat >"$WORK/$1.mc"
}

# Starts kiv on form NAME and waits for its window, which gets the focus.
open_form() {
    rm -rf "${OUT:?}"/*
    kiv_start "$WORK" "$1.mc"
    WID=$(window_of "$KIV_PID")
    [ -n "$WID" ] || die "$1: no window appeared: $(cat "$WORK/kiv.err")"
    xdotool windowfocus --sync "$WID" 2>/dev/null
}

has_line() { [ -s "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }

# Some process of group PGID is alive (zombies do not count: nobody may reap them).
group_alive() {
    local f s state pgrp
    for f in /proc/[0-9]*/stat; do
        { s=$(<"$f"); } 2>/dev/null || continue
        read -r state _ pgrp _ <<<"${s##*) }"
        [ "$pgrp" = "$1" ] && [ "$state" != Z ] && return 0
    done
    return 1
}
group_gone() { ! group_alive "$1"; }
kiv_gone() { ! kill -0 "$KIV_PID" 2>/dev/null; }
tmpdir_empty() { [ -z "$(ls -A "$TMPDIR")" ]; }
now() { date +%s.%N; }
since() { awk -v from="$1" -v to="$(now)" 'BEGIN { printf "%.2f", to - from }'; }

# The button's command: a job in the background and one in front, both for 100 s.
form sleeper <<'EOF'
<vlayout>
  <button title="Run">sleep 100 & echo $! > "$OUT/child"; echo $$ > "$OUT/leader"; echo started; sleep 100</button>
  <textlog/>
</vlayout>
EOF

start_sleeper() {
    open_form sleeper
    xdotool key space
    wait_until has_line "$OUT/leader" 1 || die "the button's command did not start"
    LEADER=$(cat "$OUT/leader")
    CHILD=$(cat "$OUT/child")
}

# --- The window repaints while a command runs -----------------------------------
form live <<'EOF'
<vlayout>
  <label>echo "A form that stays alive"</label>
  <button title="Count">i=0; while [ ! -e "$OUT/stop" ]; do i=$((i+1)); echo $i; echo $i >> "$OUT/count"; sleep 0.2; done</button>
  <textlog height="120"/>
</vlayout>
EOF
open_form live
import -window "$WID" "$WORK/before.png"
eval "$(xdotool getwindowgeometry --shell "$WID")"
top="${WIDTH}x30+0+0"
xdotool key space
wait_until has_line "$OUT/count" 2 || die "the counting command did not start"
xmessage -geometry "${WIDTH}x${HEIGHT}+$X+$Y" "covering the form" &
cover=$!
_x11_pids+=("$cover")
covered() {
    import -window "$WID" "$WORK/covered.png" 2>/dev/null &&
        [ "$(compare -metric AE "$WORK/before.png[$top]" "$WORK/covered.png[$top]" null: 2>&1)" != 0 ]
}
wait_until covered || fail "the cover window never covered the form"
kill "$cover"
repainted() {
    import -window "$WID" "$WORK/after.png" 2>/dev/null &&
        [ "$(compare -metric AE "$WORK/before.png[$top]" "$WORK/after.png[$top]" null: 2>&1)" = 0 ]
}
if wait_until repainted && [ ! -e "$OUT/stop" ]; then
    ok "uncovered mid-command, the form repainted"
else
    fail "the form did not repaint while its command ran"
fi
shot live-uncovered-mid-command
touch "$OUT/stop"
kill "$KIV_PID"

# --- A slow producer: its output comes while the window answers -------------------
form producer <<'EOF'
<vlayout>
  <button title="Produce">for i in 1 2 3; do echo $i; echo $i >> "$OUT/produced"; sleep 1; done; echo end >> "$OUT/produced"</button>
  <textlog/>
</vlayout>
EOF
open_form producer
xdotool key space
wait_until has_line "$OUT/produced" 1 || die "the producer did not start"
grep -q end "$OUT/produced" && fail "the producer ended before its first line could be looked at"
shot slow-producer-after-first-line
xdotool getwindowgeometry "$WID" >/dev/null || fail "the window went away mid-command"
wait_until grep -q end "$OUT/produced" || fail "the producer never ended"
ok "a slow producer ran to its end under a live window"
kill "$KIV_PID"

# --- Clicks and keys during a run are dropped, not replayed -----------------------
form twice <<'EOF'
<vlayout>
  <button title="Once">echo "run T=$T" >> "$OUT/runs"; while [ ! -e "$OUT/go" ]; do sleep 0.05; done; echo end >> "$OUT/ended"</button>
  <text var="T"/>
</vlayout>
EOF
open_form twice
xdotool key space
wait_until has_line "$OUT/runs" 1 || die "the first run did not start"
eval "$(xdotool getwindowgeometry --shell "$WID")"
xdotool key space key space mousemove $((X + WIDTH / 2)) $((Y + 12)) click 1 key Tab type zz
touch "$OUT/go"
wait_until has_line "$OUT/ended" 1 || die "the first run did not end"
# A replayed click or key would come before this one.
xdotool key space
wait_until has_line "$OUT/ended" 2 || die "the button did not answer after the run"
runs=$(tr '\n' '|' <"$OUT/runs")
[ "$runs" = "run T=|run T=|" ] && ok "input during a run was dropped" || fail "runs after input during a run: $runs"
kill "$KIV_PID"

# --- Escape stops the command's group -------------------------------------------
start_sleeper
t0=$(now)
xdotool key Escape
if wait_until group_gone "$LEADER"; then
    ok "Escape stopped the command and its background job in $(since "$t0") s"
else
    fail "Escape left the command's group running"
fi
kill -0 "$KIV_PID" 2>/dev/null && ok "kiv lives on after Escape" || fail "kiv ended on Escape"
kill "$KIV_PID"

form stubborn <<'EOF'
<button title="Run">trap '' TERM; echo $$ > "$OUT/leader"; while :; do sleep 0.2; done</button>
EOF
open_form stubborn
xdotool key space
wait_until has_line "$OUT/leader" 1 || die "the stubborn command did not start"
LEADER=$(cat "$OUT/leader")
t0=$(now)
xdotool key Escape
wait_until group_gone "$LEADER" && ok "a command that ignores SIGTERM was killed after $(since "$t0") s" ||
    fail "a command that ignores SIGTERM survived Escape"
kill "$KIV_PID"

# --- Closing the window and signals end kiv and the command -----------------------
check_clean_exit() { # WHAT EXPECTED_STATUS
    exit_status "$KIV_PID"
    [ "$REPLY" = "$2" ] && ok "$1: kiv ended with status $2" || fail "$1: kiv ended with status $REPLY, not $2"
    if ! wait_until group_gone "$LEADER"; then
        fail "$1: the command's group is still running"
    elif ! tmpdir_empty; then
        fail "$1: left in TMPDIR: $(ls -A "$TMPDIR")"
    else
        ok "$1: no process and no script left"
    fi
}

if [ "$wm" = 1 ]; then
    start_sleeper
    xdotool key alt+F4
    check_clean_exit "Alt+F4 during a command" 0
fi
for sig in TERM:143 INT:130 HUP:129; do
    start_sleeper
    kill -"${sig%:*}" "$KIV_PID"
    check_clean_exit "SIG${sig%:*} during a command" "${sig#*:}"
done

form quitter <<'EOF'
<button title="Quit">echo $$ > "$OUT/leader"; kill $KIV_MY_PID; sleep 100</button>
EOF
open_form quitter
xdotool key space
wait_until has_line "$OUT/leader" 1 || die "the quitting command did not start"
LEADER=$(cat "$OUT/leader")
check_clean_exit "kill \$KIV_MY_PID from a button" 143

form building <<'EOF'
<vlayout><label>echo $$ > "$OUT/leader"; sleep 100</label><button>true</button></vlayout>
EOF
rm -rf "${OUT:?}"/*
kiv_start "$WORK" building.mc
wait_until has_line "$OUT/leader" 1 || die "the build-time command did not start"
LEADER=$(cat "$OUT/leader")
kill -TERM "$KIV_PID"
check_clean_exit "SIGTERM during the build" 143

start_sleeper
kill -KILL "$KIV_PID"
exit_status "$KIV_PID"
tmpdir_empty && ok "SIGKILL during a command left no script" || fail "SIGKILL left in TMPDIR: $(ls -A "$TMPDIR")"
kill -KILL -- -"$LEADER" 2>/dev/null

# --- Odd surroundings and outputs ----------------------------------------------
form nowhere <<'EOF'
<vlayout><label>echo built > "$OUT/label"; echo Built</label><button>echo clicked > "$OUT/button"</button></vlayout>
EOF
TMPDIR=/nonexistent/kiv open_form nowhere
xdotool key space
wait_until test -s "$OUT/button" && [ -s "$OUT/label" ] && ok "TMPDIR=/nonexistent: commands run" ||
    fail "TMPDIR=/nonexistent: commands did not run: $(cat "$WORK/kiv.err")"
kill "$KIV_PID"

form endless <<'EOF'
<button title="Yes">echo $$ > "$OUT/leader"; yes</button>
EOF
open_form endless
xdotool key space
wait_until has_line "$OUT/leader" 1 || die "yes did not start"
LEADER=$(cat "$OUT/leader")
shot endless-output
xdotool key Escape
wait_until group_gone "$LEADER" || fail "Escape did not stop yes"
if kill -0 "$KIV_PID" 2>/dev/null; then
    ok "yes in a button: kiv lives on, at most $(awk '/VmHWM/ {print $2, $3}' "/proc/$KIV_PID/status") in memory"
else
    fail "kiv ended on an endless output: $(tail -3 "$WORK/kiv.err")"
fi
kill "$KIV_PID"

finish
