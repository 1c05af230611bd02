#!/bin/bash
# A form with exit buttons answers its calling script like a dialog: the status
# tells OK (0), Cancel, Escape and closing (1) and other buttons (N) apart, and
# --print-values prints only for 0.
# Usage: sh_dialog.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "$1")
SRC=$(realpath "$2")
. "$SRC/tests/x11-session.sh"
x11_begin
cd "$WORK"
cat >dialog.mc <<'MC'
<vlayout title="Dialog under test">
  <text var="NAME" text="Ada"/>
  <textarea var="NOTES"/>
  <button title="&Later" exit="3"/>
  <button title="&Stop">kill "$KIV_MY_PID"</button>
  <button title="OK" exit="0">printf '%s\n' "$NAME" > ok.out</button>
</vlayout>
MC
keys() { xdotool windowfocus --sync "$WID" && xdotool key --delay 50 "$@"; }

# answer STATUS PRINTED WHAT ACTION...: runs the dialog, does ACTION (the window
# in WID), then checks kiv's status and whether it printed the values.
answer() {
    local expected=$1 printed=$2 what=$3 rc got=no
    shift 3
    rm -f ok.out out
    timeout -k 5 "$KIV_TEST_WAIT" "$KIV" --print-values "${FORM:-dialog.mc}" >out 2>err &
    local runner=$!
    x11_track "$runner"
    WID=$(timeout "$KIV_TEST_WAIT" xdotool search --sync --onlyvisible --name '^Dialog under test$' | head -n 1)
    [ -n "$WID" ] || { fail "$what: no window: $(cat err)"; return; }
    "$@"
    wait "$runner"
    rc=$?
    [ -s out ] && got=yes
    [ "$rc" = "$expected" ] && [ "$got" = "$printed" ] && ok "$what: status $rc, printed: $got" \
        || fail "$what: status $rc (expected $expected), printed: $got; $(cat err)"
}

answer 0 yes "Return in the text box" keys End x Return
eval "$(cat out)"
[ "$NAME" = Adax ] && [ "$(cat ok.out)" = Adax ] && ok "OK ran first, with the typed value" || fail "NAME=${NAME:-}"
answer 3 no "an exit=3 button" keys alt+l
answer 1 no "Return in a text area, then Escape" keys Tab Return Escape
answer 143 no "kill \$KIV_MY_PID in a dialog" keys alt+s
answer 1 no "closing" eval 'close_window "$WID"'

# An OK that a rule turns on: Return right after typing waits for the rule, and
# not for timed reads that follow one another without end.
cat >rule.mc <<'MC'
<vlayout title="Dialog under test">
  <label every="0.1">sleep 0.3; date +%N</label>
  <label every="0.1">sleep 0.3; date +%N</label>
  <text var="NAME" refresh="ok"/>
  <button id="ok" title="OK" exit="0"><enabled>[ -n "$NAME" ] && echo 1 || echo 0</enabled></button>
</vlayout>
MC
FORM=rule.mc answer 0 yes "Return at once after typing, OK turned on by a rule" keys a b Return
eval "$(cat out)"
[ "$NAME" = ab ] && ok "the rule saw the typed value" || fail "NAME=${NAME:-}"
finish
