#!/bin/bash
# A form with exit buttons answers its calling script like a dialog: the status
# tells OK (0) from Cancel, Escape and closing (1) and other buttons (N), and
# --print-values prints only for 0. A form without them keeps today's rules.
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
  <hlayout>
    <button title="&Later" exit="3"/>
    <button title="&Stop">kill "$KIV_MY_PID"</button>
    <button title="OK" exit="0">printf '%s\n' "$NAME" > ok.out</button>
    <button title="Cancel" exit="1"/>
  </hlayout>
</vlayout>
MC
grep -v 'exit=' dialog.mc | sed 's/Dialog under test/Plain form/' >plain.mc

close_window() { # WM_DELETE_WINDOW to WID, as a window manager's close button sends it
    python3 - "$WID" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
d = x.XOpenDisplay(None)
e = Event()
e.xclient.type = 33  # ClientMessage
e.xclient.window = int(sys.argv[1])
e.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.xclient.format = 32
e.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(d, e.xclient.window, 0, 0, ctypes.byref(e))
x.XFlush(d)
PY
}
keys() { xdotool windowfocus --sync "$WID" && xdotool key --delay 50 "$@"; }
keys_then_close() { keys Escape Return && close_window; }
type_and_return() { keys End && xdotool type --delay 30 Grace && xdotool key Return; }

# answer FORM STATUS PRINTED WHAT ACTION...: opens FORM with --print-values, does
# ACTION (the window's id in WID), and checks kiv's status and whether it printed.
answer() {
    local form=$1 expected=$2 printed=$3 what=$4 title rc
    shift 4
    title=$(sed -n 's/.*title="\([^"]*\)".*/\1/p;q' "$form")
    rm -f ok.out out err
    timeout -k 5 "$KIV_TEST_WAIT" "$KIV" --print-values "$form" >out 2>err &
    local runner=$!
    x11_track "$runner"
    WID=$(timeout "$KIV_TEST_WAIT" xdotool search --sync --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
    [ -n "$WID" ] || { fail "$what: no window: $(cat err)"; return; }
    "$@"
    wait "$runner"
    rc=$?
    if [ "$rc" != "$expected" ]; then
        fail "$what: status $rc, expected $expected; stderr: $(cat err)"
    elif [ "$printed" = yes ] && ! { unset NAME; eval "$(cat out)" && [ -n "${NAME:-}" ]; }; then
        fail "$what: values not printed: $(cat -A out)"
    elif [ "$printed" = no ] && [ -s out ]; then
        fail "$what: printed $(cat -A out)"
    else
        ok "$what: status $rc, values printed: $printed"
    fi
}

answer dialog.mc 0 yes "Return in the text box" type_and_return
[ "$NAME" = AdaGrace ] && [ "$(cat ok.out 2>/dev/null)" = AdaGrace ] \
    && ok "OK ran its command with the typed value first" || fail "after Return: NAME=$NAME, ok.out: $(cat ok.out)"
answer dialog.mc 3 no "an exit=3 button" keys alt+l
answer dialog.mc 1 no "Escape" keys Escape
answer dialog.mc 143 no "kill \$KIV_MY_PID in a dialog" keys alt+s
# Return in a text area is a new line; Escape then shows the form was still open.
answer dialog.mc 1 no "Return in a text area, then Escape" keys Tab Return Escape
if command -v python3 >/dev/null; then
    answer dialog.mc 1 no "closing the dialog" close_window
    # Escape in a plain form only stops commands: closing it still gives 0.
    answer plain.mc 0 yes "Escape, then closing a plain form" keys_then_close
else
    echo "python3 is missing: the window-close checks are left out"
fi
finish
