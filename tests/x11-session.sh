# Sourced by the end-to-end tests of the real kiv (tests/sh_*.sh): a scratch
# directory, a private Xvfb, and waits that poll for conditions instead of sleeping.
#
#   x11_begin              $SHOTS, XDG_RUNTIME_DIR, and a private Xvfb as $DISPLAY;
#                          SKIPs the test when Xvfb or xdotool is missing
#   $WORK                  a scratch directory, removed at exit
#   wait_until CMD...      runs CMD every 0.1 s until it succeeds (at most
#                          $KIV_TEST_WAIT seconds, default 60); status 1 on time-out
#   window_of PID          prints the id of PID's first visible window (waits)
#   kiv_start DIR ARGS...  starts $KIV in DIR with ARGS, output in $WORK/kiv.out and
#                          $WORK/kiv.err; sets KIV_PID (ended at exit)
#   exit_status PID        waits for PID to end; its exit status in REPLY ("timeout")
#   kiv_window             waits for KIV_PID's window and gives it the keyboard
#                          focus; its id in WID (ends the test when none appears)
#   x11_track PID          PID is ended at exit too (SIGKILL if SIGTERM is not enough)
#   x11_track_group PGID   what is left of that process group is killed at exit
#   type_text TEXT         types TEXT into the focused window; characters missing
#                          from the keyboard map are put onto spare keys first
#   keymap_add TEXT        just that: every character of TEXT that the map lacks
#                          gets a spare key of its own, for good
#   window_settled WID     true once window WID is painted (not all black) and
#                          looks as it did at the last call; picture in
#                          $WORK/look.png. Poll it with wait_until.
#   shot NAME [WID]        saves the whole screen as $SHOTS/NAME.png, once window
#                          WID (when given) has settled
#   group_alive PGID       some process of that group lives (zombies do not count)
#   group_gone PGID        none does
#   close_window WID       sends WID the WM_DELETE_WINDOW of a window manager's
#                          close button (needs python3)
#   ok / fail / finish     report; finish exits 1 when anything failed
#
# KIV must be set (absolute path) before this file is sourced.

KIV_TEST_WAIT=${KIV_TEST_WAIT:-60}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kiv-e2e.XXXXXX")
SHOTS=${SHOTS:-$(dirname "$KIV")/screenshots}
_x11_pids=()
_x11_groups=()
_x11_failures=0
declare -A _x11_keyed=()

_x11_all_gone() {
    local p
    for p in "${_x11_pids[@]}"; do kill -0 "$p" 2>/dev/null && return 1; done
    return 0
}
# A process that outlives a broken stop must not keep the test, or ctest reading
# its output, waiting: what SIGTERM does not end in a while is killed.
_x11_cleanup() {
    local p g
    for p in "${_x11_pids[@]}"; do kill "$p" 2>/dev/null; done
    if ! KIV_TEST_WAIT=20 wait_until _x11_all_gone; then
        for p in "${_x11_pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
    fi
    for g in "${_x11_groups[@]}"; do group_alive "$g" && kill -KILL -- "-$g" 2>/dev/null; done
    [ ${#_x11_pids[@]} -eq 0 ] || wait "${_x11_pids[@]}" 2>/dev/null
    rm -rf "$WORK"
}
trap _x11_cleanup EXIT

ok() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; _x11_failures=$((_x11_failures + 1)); }
finish() {
    [ "$_x11_failures" -eq 0 ] && { echo PASS; exit 0; }
    echo "$_x11_failures check(s) failed"
    exit 1
}
# Ends the test at once: for failures that make the rest meaningless.
die() { fail "$@"; finish; }

# By the clock: a slow CMD must not stretch the wait.
wait_until() {
    local end=$((SECONDS + KIV_TEST_WAIT))
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}

_x11_display_known() { [ -s "$WORK/display" ] || ! kill -0 "$_x11_xvfb" 2>/dev/null; }

x11_begin() {
    local tool
    for tool in Xvfb xdotool xdpyinfo; do
        command -v "$tool" >/dev/null && continue
        # Checks made before this point still count.
        [ "$_x11_failures" -eq 0 ] || die "$tool is not installed"
        echo "SKIP: $tool is not installed"
        exit 0
    done
    mkdir -p "$SHOTS"
    export XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    # Xvfb picks a free display itself and writes its number once it accepts
    # clients: tests started at the same moment cannot pick the same one. A black
    # screen shows where a window has not painted yet.
    Xvfb -displayfd 3 -screen 0 1280x900x24 -br -nolisten tcp -noreset 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    _x11_xvfb=$!
    x11_track "$_x11_xvfb"
    wait_until _x11_display_known
    [ -s "$WORK/display" ] || die "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export DISPLAY=":$(head -n 1 "$WORK/display")"
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    wait_until xdpyinfo >/dev/null 2>&1 || die "Xvfb $DISPLAY does not answer: $(cat "$WORK/xvfb.log")"
}

window_of() {
    timeout "$KIV_TEST_WAIT" xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n 1
}

kiv_start() {
    local dir=$1
    shift
    (cd "$dir" && exec "$KIV" "$@") >"$WORK/kiv.out" 2>"$WORK/kiv.err" &
    KIV_PID=$!
    x11_track "$KIV_PID"
}

x11_track() { _x11_pids+=("$1"); }
x11_track_group() { [ -n "$1" ] && _x11_groups+=("$1"); }

kiv_window() {
    WID=$(window_of "$KIV_PID")
    if [ -z "$WID" ]; then
        kill -0 "$KIV_PID" 2>/dev/null || { wait "$KIV_PID"; echo "kiv ended with status $?"; }
        die "kiv showed no window: $(cat "$WORK/kiv.err")"
    fi
    xdotool windowfocus --sync "$WID" || die "cannot focus kiv's window $WID"
}

# xdotool types a character that the keyboard map lacks by remapping a spare key for
# a moment; a busy program can read that key after the map was restored, and the
# character is lost. A key of its own, mapped before typing and kept, cannot race.
keymap_add() {
    local text=$1 i char code sym spare=() edits=()
    command -v xmodmap >/dev/null || die "xmodmap (x11-xserver-utils) is not installed"
    mapfile -t spare < <(xmodmap -pke | sed -n 's/^keycode *\([0-9]*\) =$/\1/p' | sort -rn)
    for ((i = 0; i < ${#text}; i++)); do
        char=${text:i:1}
        code=$(printf '%d' "'$char")
        [ "$code" -gt 126 ] && [ -z "${_x11_keyed[$char]:-}" ] || continue
        # keycode 8 is left alone: some programs ignore it.
        [ ${#spare[@]} -gt 0 ] && [ "${spare[0]}" != 8 ] || die "no spare key left for '$char'"
        sym=$(printf 'U%04X' "$code")
        edits+=(-e "keycode ${spare[0]} = $sym $sym")
        _x11_keyed[$char]=${spare[0]}
        spare=("${spare[@]:1}")
    done
    [ ${#edits[@]} -eq 0 ] || xmodmap "${edits[@]}" || die "xmodmap could not map ${edits[*]}"
}

type_text() {
    keymap_add "$1"
    xdotool type --delay 30 -- "$1"
}

_x11_gone() { ! kill -0 "$1" 2>/dev/null; }

exit_status() {
    if wait_until _x11_gone "$1"; then
        wait "$1"
        REPLY=$?
        return 0
    fi
    REPLY=timeout
    return 1
}

window_settled() {
    local previous=
    [ "${_x11_look_of:-}" = "$1" ] && previous=$_x11_look
    _x11_look_of=$1
    _x11_look=
    import -window "$1" "$WORK/look.png" 2>/dev/null || return 1
    # The screen is black behind a window that has not painted yet.
    _x11_look=$(identify -format '%[fx:maxima] %#' "$WORK/look.png" 2>/dev/null) || return 1
    [ "${_x11_look%% *}" != 0 ] && [ "$_x11_look" = "$previous" ]
}

shot() {
    if [ -n "${2:-}" ] && ! wait_until window_settled "$2"; then
        echo "note: window $2 never settled for the screenshot $1"
    fi
    import -window root "$SHOTS/$1.png" 2>/dev/null && echo "screenshot: $SHOTS/$1.png"
}

# Some process of group $1 is alive (zombies do not count: nobody may reap them).
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

close_window() {
    python3 - "$1" <<'PY'
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
