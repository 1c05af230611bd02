#!/bin/bash
# Drives the real kiv from outside, as a user at the keyboard would: type into a
# text box, Tab to a check box and a combo box, press a button with space; the
# button's command writes the variables to a file that is checked afterwards.
# Then packs a folder with examples/archive.mc through its keyboard shortcuts.
#
# usage: sh_widgets.sh KIV_BINARY SOURCE_DIR
set -u

KIV=${1:?usage: sh_widgets.sh KIV_BINARY SOURCE_DIR}
SRC=${2:?usage: sh_widgets.sh KIV_BINARY SOURCE_DIR}
WAIT=${KIV_TEST_WAIT:-30}   # seconds to wait for a window or a file

KIV=$(realpath "$KIV")
SRC=$(realpath "$SRC")
[ -x "$KIV" ] || { echo "FAIL: $KIV is not an executable"; exit 1; }
for tool in Xvfb xdotool xdpyinfo tar; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

WORK=$(mktemp -d /tmp/kiv-widgets.XXXXXX)
XVFB_PID=
KIV_PID=
cleanup()
{
    [ -n "$KIV_PID" ] && kill "$KIV_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

# A display number of our own: derived from the PID, skipping ones in use.
start_xvfb()
{
    local n tries
    for tries in 1 2 3 4 5 6 7 8 9 10; do
        n=$((200 + ($$ + tries * 37) % 700))
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        local i
        for i in $(seq 1 $((WAIT * 5))); do
            if xdpyinfo -display ":$n" >/dev/null 2>&1; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.2
        done
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=
    done
    fail "could not start Xvfb (see $WORK/xvfb.log)"
}

# Polls until the command succeeds or WAIT seconds have passed.
wait_for()
{
    local i
    for i in $(seq 1 $((WAIT * 5))); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# Starts kiv in directory $1 on the mc file $2 and waits for its window and, if
# $3 is given, for that marker file, which the form writes while it is built.
start_kiv()
{
    local dir=$1 form=$2 marker=${3:-}
    (cd "$dir" && exec "$KIV" "$form") >"$WORK/kiv.out" 2>"$WORK/kiv.err" &
    KIV_PID=$!
    WID=$(timeout "$WAIT" xdotool search --sync --onlyvisible --pid "$KIV_PID" 2>/dev/null | head -n 1)
    if [ -z "$WID" ]; then
        kill -0 "$KIV_PID" 2>/dev/null || { wait "$KIV_PID"; echo "kiv exited with status $?"; }
        cat "$WORK/kiv.err"
        fail "kiv showed no window for $form within ${WAIT}s"
    fi
    if [ -n "$marker" ] && ! wait_for test -e "$marker"; then
        fail "kiv showed a window but built no form from $form"
    fi
    xdotool windowfocus --sync "$WID" || fail "cannot focus the kiv window"
}

stop_kiv()
{
    kill -0 "$KIV_PID" 2>/dev/null || fail "kiv is no longer running (it crashed?): $(cat "$WORK/kiv.err")"
    kill "$KIV_PID"
    wait "$KIV_PID" 2>/dev/null
    KIV_PID=
}

start_xvfb
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# --- a form of every widget kind, filled in by keyboard ---------------------
mkdir "$WORK/form"
export READY="$WORK/ready" OUT="$WORK/out.txt"
cat >"$WORK/form/form.mc" <<'EOF'
<config>
  <global var="FIXED">touch "$READY"; printf 'fisso'</global>
  <text var="NAME"/>
  <checkbox var="LOUD" text="Loud"/>
  <combobox var="ALGO">printf 'gzip\nbzip2\nxz'</combobox>
  <button title="Save">printf '%s\n' "$NAME" "$LOUD" "$ALGO" "$FIXED" > "$OUT"</button>
</config>
EOF
TYPED='città € "; touch HACKED; echo " $(id) `id` '"'"'q'"'"
start_kiv "$WORK/form" "$WORK/form/form.mc" "$READY"
# The text box has the focus when the window opens.
xdotool type --delay 30 -- "$TYPED"
xdotool key --delay 50 Tab space Tab Down Tab space
wait_for test -s "$OUT" || fail "the button wrote nothing to \$OUT"
printf '%s\n' "$TYPED" 1 bzip2 fisso >"$WORK/expected.txt"
if ! cmp -s "$WORK/expected.txt" "$OUT"; then
    echo "expected:"; cat "$WORK/expected.txt"
    echo "got:"; cat "$OUT"
    fail "the command did not see the values as entered"
fi
[ -e "$WORK/form/HACKED" ] && fail "a typed value was run as a command"
stop_kiv
echo "ok: typed, toggled and picked values reached the command unchanged"

# --- examples/archive.mc packs a folder ----------------------------------------
mkdir -p "$WORK/project/.git" "$WORK/project/docs" "$WORK/home"
echo "first" >"$WORK/project/a.txt"
echo "città" >"$WORK/project/docs/b.txt"
echo "x" >"$WORK/project/.git/HEAD"
# The archive goes to $HOME, named after the folder kiv starts in.
export HOME="$WORK/home"
start_kiv "$WORK/project" "$SRC/examples/archive.mc"
# Alt+L ticks "Leave out version control data", Alt+C presses "Create archive".
xdotool key --delay 100 alt+l alt+c
archive_done()
{
    local f
    f=$(ls "$WORK/home"/project-*.tar.* 2>/dev/null | head -n 1)
    [ -n "$f" ] && tar -tf "$f" >"$WORK/listing.txt" 2>/dev/null && grep -qx 'project/docs/b.txt' "$WORK/listing.txt"
}
wait_for archive_done || fail "examples/archive.mc made no readable archive in \$HOME"
ls "$WORK/home"/project-*.tar.xz >/dev/null 2>&1 || fail "the preselected xz compression was not used"
grep -q '^project/.git' "$WORK/listing.txt" && fail "version control data was packed although excluded"
grep -qx 'project/a.txt' "$WORK/listing.txt" || fail "the archive lacks project/a.txt"
stop_kiv
echo "ok: examples/archive.mc packed the folder"
echo "PASS"
