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
wm=0
if command -v openbox >/dev/null; then
    openbox >"$WORK/openbox.log" 2>&1 &
    _x11_pids+=($!)
    wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    wait_until wm_ready || die "openbox did not start: $(cat "$WORK/openbox.log")"
    wm=1
else
    echo "note: openbox is not installed; the Alt+F4 check is skipped"
fi

# A search can fail outright while other windows come and go: ask again.
found_window() { WID=$(xdotool search --onlyvisible --pid "$KIV_PID" 2>/dev/null | head -n 1); [ -n "$WID" ]; }
# open_form NAME MC: starts kiv on the form MC and waits for its window.
open_form() {
    rm -rf "${OUT:?}"/*
    printf '%s\n' "$2" >"$WORK/$1.mc"
    kiv_start "$WORK" "$1.mc"
    wait_until found_window || die "$1: no window appeared: $(cat "$WORK/kiv.err")"
    xdotool windowfocus --sync "$WID" 2>/dev/null
}
close_form() { kill "$KIV_PID" && exit_status "$KIV_PID"; }
# click_and_wait_for FILE: presses the focused button and waits for the command to
# write FILE; LEADER is the command's process group, if it wrote one.
click_and_wait_for() {
    xdotool key space
    wait_until test -s "$OUT/$1" || die "the button's command did not start"
    LEADER=$(cat "$OUT/leader" 2>/dev/null)
    x11_track_group "$LEADER"
}
lines_at_least() { [ -s "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }
tmpdir_empty() { [ -z "$(ls -A "$TMPDIR")" ]; }
now() { date +%s.%N; }
since() { awk -v from="$1" -v to="$(now)" 'BEGIN { printf "%.2f", to - from }'; }

# A job in the background and one in front, both for 100 s.
SLEEPER='<vlayout><button>sleep 100 & echo $! > "$OUT/child"; echo $$ > "$OUT/leader"; sleep 100</button><textlog/></vlayout>'

# --- A slow producer: it prints while the window answers and repaints --------------
open_form live '<vlayout><label>echo "A form that stays alive"</label>
<button>for i in 1 2 3; do echo $i; echo $i >> "$OUT/count"; sleep 1; done; until [ -e "$OUT/stop" ]; do sleep 0.1; done</button>
<textlog height="120"/></vlayout>'
import -window "$WID" "$WORK/before.png"
eval "$(xdotool getwindowgeometry --shell "$WID")"
top="${WIDTH}x30+0+0"
same_top() { # SHOT: the top of the window looks as it did before
    import -window "$WID" "$WORK/$1.png" 2>/dev/null &&
        [ "$(compare -metric AE "$WORK/before.png[$top]" "$WORK/$1.png[$top]" null: 2>&1)" = 0 ]
}
click_and_wait_for count
# The text log below the label and the button draws the first line while the
# command still runs.
log_area="${WIDTH}x$((HEIGHT - 60))+0+60"
log_drawn() {
    import -window "$WID" "$WORK/log.png" 2>/dev/null &&
        [ "$(compare -metric AE "$WORK/before.png[$log_area]" "$WORK/log.png[$log_area]" null: 2>&1)" != 0 ]
}
if wait_until log_drawn && [ ! -e "$OUT/stop" ]; then
    ok "the text log showed output before the command ended"
else
    fail "the text log showed nothing while the command ran"
fi
xmessage -geometry "${WIDTH}x${HEIGHT}+$X+$Y" "covering the form" &
cover=$!
_x11_pids+=("$cover")
wait_until eval '! same_top covered' || fail "the cover window never covered the form"
kill "$cover"
if wait_until same_top after && [ ! -e "$OUT/stop" ]; then
    ok "uncovered mid-command, the form repainted"
else
    fail "the form did not repaint while its command ran"
fi
shot live-uncovered-mid-command
touch "$OUT/stop"
close_form

# --- Clicks and keys during a run are dropped, not replayed -----------------------
open_form twice '<vlayout><button>echo "run T=$T" >> "$OUT/runs"; until [ -e "$OUT/go" ]; do sleep 0.05; done; echo end >> "$OUT/ended"</button>
<text var="T"/></vlayout>'
click_and_wait_for runs
eval "$(xdotool getwindowgeometry --shell "$WID")"
xdotool key space key space mousemove $((X + WIDTH / 2)) $((Y + 12)) click 1 key Tab type zz
touch "$OUT/go"
wait_until lines_at_least "$OUT/ended" 1 || die "the first run did not end"
# A replayed click or key would come before this one.
xdotool key space
wait_until lines_at_least "$OUT/ended" 2 || die "the button did not answer after the run"
runs=$(tr '\n' '|' <"$OUT/runs")
[ "$runs" = "run T=|run T=|" ] && ok "input during a run was dropped" || fail "runs after input during a run: $runs"
close_form

# --- Escape stops the command's group; kiv lives on -------------------------------
open_form sleeper "$SLEEPER"
click_and_wait_for child
t0=$(now)
xdotool key Escape
wait_until group_gone "$LEADER" && ok "Escape stopped the command and its background job in $(since "$t0") s" ||
    fail "Escape left the command's group running"
kill -0 "$KIV_PID" 2>/dev/null && ok "kiv lives on after Escape" || fail "kiv ended on Escape"
close_form

# --- Closing the window and signals end kiv and the command -----------------------
check_clean_exit() { # WHAT EXPECTED_STATUS
    exit_status "$KIV_PID"
    if [ "$REPLY" != "$2" ]; then
        fail "$1: kiv ended with status $REPLY, not $2"
    elif ! wait_until group_gone "$LEADER"; then
        fail "$1: the command's group is still running"
    elif ! tmpdir_empty; then
        fail "$1: left in TMPDIR: $(ls -A "$TMPDIR")"
    else
        ok "$1: status $2, no process and no script left"
    fi
}
if [ "$wm" = 1 ]; then
    open_form sleeper "$SLEEPER"
    click_and_wait_for child
    xdotool key alt+F4
    check_clean_exit "Alt+F4 during a command" 0
fi
for sig in TERM:143 INT:130 HUP:129; do
    open_form sleeper "$SLEEPER"
    click_and_wait_for child
    kill -"${sig%:*}" "$KIV_PID"
    check_clean_exit "SIG${sig%:*} during a command" "${sig#*:}"
done
open_form quitter '<button>echo $$ > "$OUT/leader"; kill $KIV_MY_PID; sleep 100</button>'
click_and_wait_for leader
check_clean_exit "kill \$KIV_MY_PID from a button" 143

rm -rf "${OUT:?}"/*
printf '%s\n' '<vlayout><label>echo $$ > "$OUT/leader"; sleep 100</label><button>true</button></vlayout>' >"$WORK/build.mc"
kiv_start "$WORK" build.mc
wait_until test -s "$OUT/leader" || die "the build-time command did not start"
LEADER=$(cat "$OUT/leader")
x11_track_group "$LEADER"
kill -TERM "$KIV_PID"
check_clean_exit "SIGTERM during the build" 143

open_form sleeper "$SLEEPER"
click_and_wait_for child
kill -KILL "$KIV_PID"
exit_status "$KIV_PID"
tmpdir_empty && ok "SIGKILL during a command left no script" || fail "SIGKILL left in TMPDIR: $(ls -A "$TMPDIR")"
kill -KILL -- -"$LEADER" 2>/dev/null

# --- Odd surroundings and outputs ----------------------------------------------
TMPDIR=/nonexistent/kiv open_form nowhere \
    '<vlayout><label>echo built > "$OUT/label"; echo Built</label><button>echo clicked > "$OUT/button"</button></vlayout>'
xdotool key space
wait_until test -s "$OUT/button" && [ -s "$OUT/label" ] && ok "TMPDIR=/nonexistent: commands run" ||
    fail "TMPDIR=/nonexistent: commands did not run: $(cat "$WORK/kiv.err")"
close_form

# A 50 MB line without a break, then 1 GB of lines (kept up to the limit): after
# each the window still answers a click at once.
open_form huge '<vlayout><button>head -c 50000000 /dev/zero | tr "\\0" x; touch "$OUT/line"</button>
<button>yes "a line of output, as commands print them" | head -c 1000000000; touch "$OUT/lines"</button>
<button>echo answered >> "$OUT/answers"</button><textlog/></vlayout>'
xdotool key space
wait_until test -e "$OUT/line" || die "the 50 MB line was not printed"
xdotool key Tab Tab space
wait_until lines_at_least "$OUT/answers" 1 && ok "after a 50 MB line the window answers" ||
    fail "after a 50 MB line the window did not answer"
xdotool key shift+Tab space
wait_until test -e "$OUT/lines" || die "the 1 GB of lines were not printed"
shot huge-output
xdotool key Tab space
if wait_until lines_at_least "$OUT/answers" 2; then
    ok "after 1 GB of lines the window answers, at most $(awk '/VmHWM/ {print $2, $3}' "/proc/$KIV_PID/status") in memory"
else
    fail "after 1 GB of lines the window did not answer"
fi
close_form

open_form endless '<button>echo $$ > "$OUT/leader"; yes</button>'
click_and_wait_for leader
shot endless-output
xdotool key Escape
wait_until group_gone "$LEADER" || fail "Escape did not stop yes"
if kill -0 "$KIV_PID" 2>/dev/null; then
    ok "yes in a button: kiv lives on, at most $(awk '/VmHWM/ {print $2, $3}' "/proc/$KIV_PID/status") in memory"
else
    fail "kiv ended on an endless output: $(tail -3 "$WORK/kiv.err")"
fi
close_form

finish
