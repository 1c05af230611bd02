#!/bin/bash
# The real kiv binary from the outside: error exits, --help/--version, no display,
# and under a private Xvfb a form, its pictures, the notice window and the launcher.
# Usage: sh_startup.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "$1")
SRC=$(realpath "$2")
. "$SRC/tests/x11-session.sh"
mkdir -m 700 "$WORK/runtime"
export XDG_RUNTIME_DIR=$WORK/runtime

# --- Errors: a message naming the file, status 1, no window -------------------
expect_error() { # file, pattern of the reason, [extra args before the file]
    local file=$1 reason=$2
    shift 2
    QT_QPA_PLATFORM=offscreen timeout --foreground -k 30 60 "$KIV" "$@" "$file" >"$WORK/out" 2>"$WORK/err"
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
QT_QPA_PLATFORM=offscreen timeout --foreground -k 30 60 "$KIV" "$WORK/dir.mc" 2>"$WORK/err"
[ $? = 1 ] && grep -q "^kiv: $WORK/dir.mc: ." "$WORK/err" || fail "directory as mc file: $(cat "$WORK/err")"

# --- Information ---------------------------------------------------------------
# None of these needs a display.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$KIV" "$@" </dev/null 2>&1; }
out=$(nodisplay --help)
rc=$?
if [ $rc = 0 ] && grep -q -- '-show' <<<"$out" && grep -q 'scrolllayout' <<<"$out"; then
    ok "--help without a display"
else
    fail "--help: status $rc, output: $out"
fi
out=$(nodisplay --version)
[ $? = 0 ] && grep -qE '^kiv [0-9]+\.[0-9]+' <<<"$out" && ok "--version: $out" || fail "--version: $out"
out=$(QT_QPA_PLATFORM=offscreen "$KIV" -platform offscreen --version 2>/dev/null)
[ $? = 0 ] && grep -q '^kiv ' <<<"$out" || fail "--version after a Qt option: $out"
if grep -q -- '--check' <<<"$(nodisplay --help)"; then
    printf '<vlayout><label text="fine"/></vlayout>\n' >"$WORK/good.mc"
    out=$(nodisplay --check "$WORK/good.mc")
    [ $? = 0 ] && ok "--check without a display" || fail "--check without a display: $out"
fi

# --- No display: a message of kiv's own and status 1, never Qt's abort ------------
# A display number that nothing answers on.
free=900
while [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X$free-lock" ]; do free=$((free + 1)); done
while IFS='|' read -r what setting args; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $setting timeout --foreground -k 30 60 "$KIV" $args </dev/null 2>&1)
    rc=$?
    if [ $rc = 1 ] && [ "$(head -n 1 <<<"$out")" = "kiv: cannot open a display (is DISPLAY or WAYLAND_DISPLAY set?)" ] \
        && ! grep -qi 'reinstall' <<<"$out"; then
        ok "$what: status 1, $(tr '\n' ' ' <<<"$out")"
    else
        fail "$what: status $rc, output: $out"
    fi
done <<TABLE
nothing set, a form||$SRC/examples/demo.mc
nothing set, the launcher||
nothing set, a notice||-show hello
DISPLAY without a server|DISPLAY=:$free|$SRC/examples/demo.mc
XDG_SESSION_TYPE=x11 without a server|DISPLAY=:$free XDG_SESSION_TYPE=x11|$SRC/examples/demo.mc
Wayland without a compositor|QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=kiv-none-$$|$SRC/examples/demo.mc
a platform that does not exist|QT_QPA_PLATFORM=no-such-platform|$SRC/examples/demo.mc
TABLE
# What the platform said follows: the display that failed, the plugin that is missing.
while IFS='|' read -r setting expected; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $setting "$KIV" "$SRC/examples/demo.mc" 2>&1)
    grep -q -- "$expected" <<<"$out" && ok "$setting: '$expected' said" || fail "$setting: no '$expected' in: $out"
done <<TABLE
DISPLAY=:$free|^kiv: could not connect to display :$free\$
QT_QPA_PLATFORM=no-such-platform|^kiv: that platform's Qt plugin is not installed (Wayland: Debian package qt6-wayland)
TABLE

# A name merely beginning with -show is an mc file (built offscreen: its label's
# command leaves a mark).
cat >"$WORK/-showme.mc" <<'MC'
<label>echo built > "$OUT"; echo x</label>
MC
(cd "$WORK" && OUT="$WORK/showme.out" QT_QPA_PLATFORM=offscreen exec "$KIV" -showme.mc) 2>/dev/null &
pid=$!
x11_track "$pid"
if wait_until test -s "$WORK/showme.out" && [ "$(cat "$WORK/showme.out")" = built ]; then
    ok "-showme.mc is a file name"
else
    fail "-showme.mc was not built as a form"
fi
kill "$pid" 2>/dev/null

# --- A real display --------------------------------------------------------------
x11_begin

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
OUT="$WORK/pid.out" kiv_start "$WORK" "$WORK/form.mc"
wid=$(window_of "$KIV_PID")
if [ -z "$wid" ]; then
    fail "form window never appeared: $(cat "$WORK/kiv.err")"
elif [ "$(cat "$WORK/pid.out")" != "$KIV_PID" ]; then
    fail "KIV_MY_PID was '$(cat "$WORK/pid.out")', process id $KIV_PID"
else
    ok "form shown; KIV_MY_PID = $KIV_PID"
    shot startup-form "$wid"
fi
kill "$KIV_PID" 2>/dev/null

# Pictures by name come from the data directory, which a kiv run from its build
# tree finds beside itself: an icons-directory picture, the default icon and no
# picture at all must all look different.
mkdir "$WORK/pictures"
declare -A looks=()
for src in folder.png no-such-picture.png /dev/null; do
    printf '<vlayout width="140" height="110"><img src="%s"/></vlayout>\n' "$src" >"$WORK/pictures/form.mc"
    kiv_start "$WORK/pictures" form.mc
    wid=$(window_of "$KIV_PID")
    if [ -n "$wid" ] && wait_until window_settled "$wid"; then
        looks[$src]=$(identify -format '%#' "$WORK/look.png")
    else
        fail "picture $src: no window settled: $(cat "$WORK/kiv.err")"
    fi
    kill "$KIV_PID" 2>/dev/null
done
if [ "${looks[folder.png]:-1}" != "${looks[no-such-picture.png]:-1}" ] \
    && [ "${looks[no-such-picture.png]:-2}" != "${looks[/dev/null]:-2}" ]; then
    ok "icons-directory picture, default icon and no picture all differ"
else
    fail "pictures by name do not show: folder.png, the default icon and no picture look alike"
fi

# Notice: OK (focused first, pressed with the space key) ends the program with 0.
notice() { # shot name, arguments after -show
    local name=$1
    shift
    kiv_start "$WORK" -show "$@"
    local w
    w=$(window_of "$KIV_PID")
    if [ -z "$w" ]; then
        fail "notice ($*): no window: $(cat "$WORK/kiv.err")"
        return
    fi
    shot "$name" "$w"
    xdotool windowfocus --sync "$w" key space 2>/dev/null
    exit_status "$KIV_PID"
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
OUT="$WORK/second.out" kiv_start "$WORK"
launcher=$KIV_PID
wid=$(window_of "$launcher")
if [ -z "$wid" ]; then
    fail "launcher never appeared: $(cat "$WORK/kiv.err")"
else
    xdotool windowfocus --sync "$wid"
    type_text "$WORK/my forms/second form.mc"
    shot launcher "$wid"
    # From the path: past the "..." button to Load.
    xdotool key --delay 50 Tab Tab space
    exit_status "$launcher"
    [ "$REPLY" = 0 ] && ok "launcher closed after Load" || fail "launcher: status $REPLY"
    if wait_until test -s "$WORK/second.out"; then
        second=$(cat "$WORK/second.out")
        x11_track "$second"
        [ "$second" != "$launcher" ] && ok "second instance $second on the path with blanks" \
            || fail "second instance reported the launcher's pid"
    else
        fail "no second instance on '$WORK/my forms/second form.mc': $(cat "$WORK/kiv.err")"
    fi
fi
finish
