#!/bin/bash
# The real kiv binary from the outside: error exits, --help/--version, and under
# a private Xvfb a form, the notice window and the launcher.
# Usage: sh_startup.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "$1")
SRC=$2
SHOTS=$(dirname "$KIV")/screenshots
WORK=$(mktemp -d)
XPID=
KIDS=()
failures=0

cleanup() {
    for p in "${KIDS[@]}"; do kill "$p" 2>/dev/null; done
    [ -n "$XPID" ] && kill "$XPID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

mkdir -m 700 "$WORK/runtime"
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$SHOTS"

# Waits up to $2 seconds (default 20) for file $1 to be non-empty.
wait_for_file() {
    local i
    for ((i = 0; i < ${2:-20} * 10; i++)); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Waits up to 20 seconds for process $1 to end; its status in $REPLY.
wait_for_exit() {
    local i
    for ((i = 0; i < 200; i++)); do
        if ! kill -0 "$1" 2>/dev/null; then
            wait "$1"
            REPLY=$?
            return 0
        fi
        sleep 0.1
    done
    REPLY=timeout
    return 1
}

# --- Errors: a message naming the file, status 1, no window -------------------
expect_error() { # file, pattern of the reason, [extra args before the file]
    local file=$1 reason=$2
    shift 2
    QT_QPA_PLATFORM=offscreen timeout 60 "$KIV" "$@" "$file" >"$WORK/out" 2>"$WORK/err"
    local rc=$?
    if [ "$rc" != 1 ]; then
        fail "$file: status $rc, expected 1"
    elif ! grep -qxE "kiv: $file: $reason" "$WORK/err"; then
        fail "$file: stderr was: $(cat "$WORK/err")"
    else
        ok "$file: $reason"
    fi
}
printf 'no tags in here\n' >"$WORK/notag.mc"
printf '<vlayout>\n<label>echo hi</label>\n' >"$WORK/open.mc"
expect_error "$WORK/missing.mc" "No such file or directory"
expect_error "$WORK/notag.mc" "no element found"
expect_error "$WORK/open.mc" ".*<vlayout>.*line 1.*never closed.*"
# Qt's own options are taken away first; the file name may follow them.
expect_error "$WORK/missing.mc" "No such file or directory" -platform offscreen
mkdir "$WORK/dir.mc"
QT_QPA_PLATFORM=offscreen timeout 60 "$KIV" "$WORK/dir.mc" 2>"$WORK/err"
[ $? = 1 ] && grep -q "^kiv: $WORK/dir.mc: ." "$WORK/err" || fail "directory as mc file: $(cat "$WORK/err")"

# --- Information ---------------------------------------------------------------
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$KIV" --help 2>&1)
rc=$?
if [ $rc = 0 ] && grep -q -- '-show' <<<"$out" && grep -q 'scrolllayout' <<<"$out"; then
    ok "--help without a display"
else
    fail "--help: status $rc, output: $out"
fi
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$KIV" --version 2>&1)
[ $? = 0 ] && grep -qE '^kiv [0-9]+\.[0-9]+' <<<"$out" && ok "--version: $out" || fail "--version: $out"
out=$(QT_QPA_PLATFORM=offscreen "$KIV" -platform offscreen --version 2>/dev/null)
[ $? = 0 ] && grep -q '^kiv ' <<<"$out" || fail "--version after a Qt option: $out"

# A name merely beginning with -show is an mc file (built offscreen: its label's
# command leaves a mark).
cat >"$WORK/-showme.mc" <<'MC'
<label>echo built > "$OUT"; echo x</label>
MC
(cd "$WORK" && OUT="$WORK/showme.out" QT_QPA_PLATFORM=offscreen exec "$KIV" -showme.mc) 2>/dev/null &
pid=$!
KIDS+=("$pid")
if wait_for_file "$WORK/showme.out" 30 && [ "$(cat "$WORK/showme.out")" = built ]; then
    ok "-showme.mc is a file name"
else
    fail "-showme.mc was not built as a form"
fi
kill "$pid" 2>/dev/null

# --- A real display --------------------------------------------------------------
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    echo "SKIP: Xvfb or xdotool missing"
    exit $((failures > 0))
fi
N=$((200 + $$ % 500))
while [ -e "/tmp/.X$N-lock" ] || [ -e "/tmp/.X11-unix/X$N" ]; do N=$((N + 1)); done
Xvfb ":$N" -screen 0 1280x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
XPID=$!
for ((i = 0; i < 100; i++)); do
    xdpyinfo -display ":$N" >/dev/null 2>&1 && break
    sleep 0.1
done
xdpyinfo -display ":$N" >/dev/null 2>&1 || { fail "Xvfb :$N did not start"; exit 1; }
export DISPLAY=:$N
unset QT_QPA_PLATFORM

# Prints the id of the first visible window of process $1 (waits up to 30 s).
window_of() {
    timeout 30 xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n 1
}

# Document mode: the form's command sees this process's id in KIV_MY_PID.
cat >"$WORK/form.mc" <<'MC'
<vlayout>
  <label>echo "$KIV_MY_PID" > "$OUT"; echo "process $KIV_MY_PID"</label>
  <label text="Hello from the start-up test"/>
  <hlayout><label text="left"/><img align="right" src="@SRC@/data/icona.png"/></hlayout>
  <tab title="First"><label text="on the first page"/></tab>
  <tab title="Second"/>
  <textlog height="80"/>
</vlayout>
MC
sed -i "s|@SRC@|$SRC|" "$WORK/form.mc"
OUT="$WORK/pid.out" "$KIV" "$WORK/form.mc" 2>"$WORK/form.err" &
pid=$!
KIDS+=("$pid")
wid=$(window_of "$pid")
if [ -z "$wid" ]; then
    fail "form window never appeared: $(cat "$WORK/form.err")"
elif [ "$(cat "$WORK/pid.out")" != "$pid" ]; then
    fail "KIV_MY_PID was '$(cat "$WORK/pid.out")', process id $pid"
else
    ok "form shown; KIV_MY_PID = $pid"
    sleep 0.5
    import -window root "$SHOTS/startup-form.png" 2>/dev/null && echo "screenshot: $SHOTS/startup-form.png"
fi
kill "$pid" 2>/dev/null

# Notice: OK (focused first, pressed with the space key) ends the program with 0.
notice() { # shot name, arguments after -show
    local name=$1
    shift
    "$KIV" -show "$@" 2>"$WORK/notice.err" &
    local p=$!
    KIDS+=("$p")
    local w
    w=$(window_of "$p")
    if [ -z "$w" ]; then
        fail "notice ($*): no window: $(cat "$WORK/notice.err")"
        return
    fi
    sleep 0.3
    import -window root "$SHOTS/$name.png" 2>/dev/null
    xdotool windowfocus --sync "$w" key space 2>/dev/null
    wait_for_exit "$p"
    [ "$REPLY" = 0 ] && ok "notice ($# lines) closed by OK" || fail "notice ($*): status $REPLY"
}
notice notice-0
notice notice-1 "Only one line"
notice notice-2 "First line (shown second)" "Second line (shown on top)"

# Launcher: a path with blanks typed into the chooser; Load starts this binary on
# exactly that path and the launcher ends.
mkdir -p "$WORK/my forms"
cat >"$WORK/my forms/second form.mc" <<'MC'
<label>echo "$KIV_MY_PID" > "$OUT"; echo "started by the launcher"</label>
MC
OUT="$WORK/second.out" "$KIV" 2>"$WORK/launcher.err" &
pid=$!
KIDS+=("$pid")
wid=$(window_of "$pid")
if [ -z "$wid" ]; then
    fail "launcher never appeared: $(cat "$WORK/launcher.err")"
else
    sleep 0.3
    xdotool windowfocus --sync "$wid" type --delay 5 "$WORK/my forms/second form.mc"
    import -window root "$SHOTS/launcher.png" 2>/dev/null
    # From the path: past the "..." button to Load.
    xdotool key --delay 50 Tab Tab space
    wait_for_exit "$pid"
    [ "$REPLY" = 0 ] && ok "launcher closed after Load" || fail "launcher: status $REPLY"
    if wait_for_file "$WORK/second.out" 30; then
        second=$(cat "$WORK/second.out")
        KIDS+=("$second")
        [ "$second" != "$pid" ] && ok "second instance $second on the path with blanks" \
            || fail "second instance reported the launcher's pid"
    else
        fail "no second instance on '$WORK/my forms/second form.mc': $(cat "$WORK/launcher.err")"
    fi
fi

exit $((failures > 0))
