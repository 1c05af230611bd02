# Sourced by the end-to-end tests of the real kiv (tests/sh_*.sh): a scratch
# directory, a private Xvfb, and waits that poll for conditions instead of sleeping.
#
#   x11_begin              $WORK (removed at exit), $SHOTS, XDG_RUNTIME_DIR, and a
#                          private Xvfb as $DISPLAY; SKIPs the test when Xvfb or
#                          xdotool is missing
#   wait_until CMD...      runs CMD every 0.1 s until it succeeds (at most
#                          $KIV_TEST_WAIT seconds, default 60); status 1 on time-out
#   window_of PID          prints the id of PID's first visible window (waits)
#   kiv_start DIR ARGS...  starts $KIV in DIR with ARGS, output in $WORK/kiv.out and
#                          $WORK/kiv.err; sets KIV_PID (ended at exit)
#   exit_status PID        waits for PID to end; its exit status in REPLY ("timeout")
#   shot NAME              saves the whole screen as $SHOTS/NAME.png
#   ok / fail / finish     report; finish exits 1 when anything failed
#
# KIV must be set (absolute path) before x11_begin.

KIV_TEST_WAIT=${KIV_TEST_WAIT:-60}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kiv-e2e.XXXXXX")
SHOTS=${SHOTS:-$(dirname "$KIV")/screenshots}
_x11_pids=()
_x11_failures=0

_x11_cleanup() {
    local p
    for p in "${_x11_pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
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

wait_until() {
    local i
    for ((i = 0; i < KIV_TEST_WAIT * 10; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

x11_begin() {
    local tool n
    for tool in Xvfb xdotool xdpyinfo; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
    done
    mkdir -p "$SHOTS"
    export XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    # A display of our own, derived from the PID, skipping any that is taken.
    n=$((200 + $$ % 700))
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
    _x11_pids+=($!)
    export DISPLAY=":$n"
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    wait_until xdpyinfo >/dev/null 2>&1 || die "Xvfb $DISPLAY did not start: $(cat "$WORK/xvfb.log")"
}

window_of() {
    timeout "$KIV_TEST_WAIT" xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n 1
}

kiv_start() {
    local dir=$1
    shift
    (cd "$dir" && exec "$KIV" "$@") >"$WORK/kiv.out" 2>"$WORK/kiv.err" &
    KIV_PID=$!
    _x11_pids+=("$KIV_PID")
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

shot() {
    import -window root "$SHOTS/$1.png" 2>/dev/null && echo "screenshot: $SHOTS/$1.png"
}
