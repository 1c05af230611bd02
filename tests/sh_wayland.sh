#!/usr/bin/env bash
# kiv as a native Wayland client: a form opened under a headless Weston runs its
# commands and shows on the compositor's screen (a screenshot that changed).
# Skipped, with a note, where Weston or Qt's Wayland plugin is not installed.
# Usage: sh_wayland.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "${1:?kiv binary}")
SRC=$(realpath "${2:?source directory}")
. "$SRC/tests/x11-session.sh"
[ -x "$KIV" ] || die "$1 is not an executable"

for tool in weston weston-screenshooter identify; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (Debian: weston, imagemagick)"; exit 0; }
done
plugins=(/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so)
[ -e "${plugins[0]}" ] || { echo "SKIP: Qt's Wayland platform plugin is not installed (Debian: qt6-wayland)"; exit 0; }

mkdir -p "$SHOTS"
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Weston's desktop without its panel (whose clock would change the screen) on
# black: nothing changes on the screen but kiv's window. Pixman draws the screen in
# memory; --debug lets the screenshooter in.
cat >"$WORK/weston.ini" <<'INI'
[shell]
panel-position=none
background-color=0xff000000
locking=false
animation=none
startup-animation=none
INI
socket=kiv-test
weston --config="$WORK/weston.ini" --backend=headless-backend.so --use-pixman --width=1024 --height=768 \
    --socket="$socket" --idle-time=0 --debug --log="$WORK/weston.log" >/dev/null 2>&1 &
x11_track $!
wait_until test -S "$XDG_RUNTIME_DIR/$socket" || die "Weston did not start: $(cat "$WORK/weston.log")"
export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
unset DISPLAY

# The whole screen into $WORK/screen.png; REPLY: its brightest value (0 for a black
# screen) and its pixel signature.
screen() {
    local dir=$WORK/shooter
    rm -rf "$dir" && mkdir "$dir"
    (cd "$dir" && timeout 20 weston-screenshooter >/dev/null 2>&1) || return 1
    mv "$dir"/*.png "$WORK/screen.png" 2>/dev/null || return 1
    REPLY=$(identify -format '%[fx:maxima] %#' "$WORK/screen.png")
}
wait_until screen || die "weston-screenshooter took no screenshot: $(tail -n 5 "$WORK/weston.log")"

export OUT=$WORK/out
mkdir "$OUT"
cat >"$WORK/form.mc" <<'MC'
<vlayout>
  <label>echo "$WAYLAND_DISPLAY" > "$OUT/label"; echo "kiv on Wayland"</label>
  <combobox var="PICK">printf 'one\ntwo\n'; touch "$OUT/combo"</combobox>
  <hlayout><img src="folder.png"/><button title="Greet">echo hello</button></hlayout>
  <textlog height="60"/>
</vlayout>
MC
kiv_start "$WORK" form.mc
wait_until test -e "$OUT/combo" || die "the form's commands did not run: $(cat "$WORK/kiv.err")"
[ "$(cat "$OUT/label")" = "$socket" ] && ok "the form's commands ran with WAYLAND_DISPLAY=$socket" \
    || fail "the label's command saw WAYLAND_DISPLAY='$(cat "$OUT/label")'"

# Shown: the screen is no longer all black, and has stopped changing.
last=
shown() {
    local before=$last
    screen || return 1
    last=$REPLY
    [ "${last%% *}" != 0 ] && [ "$last" = "$before" ]
}
if wait_until shown; then
    cp "$WORK/screen.png" "$SHOTS/wayland-form.png"
    ok "the form is on Weston's screen: $SHOTS/wayland-form.png"
else
    fail "the screen never showed the form: $(cat "$WORK/kiv.err")"
fi
kill -0 "$KIV_PID" 2>/dev/null && ok "kiv runs on" || fail "kiv ended: $(cat "$WORK/kiv.err")"
grep -q 'wayland' "$WORK/kiv.err" && echo "note: kiv said: $(cat "$WORK/kiv.err")"
finish
