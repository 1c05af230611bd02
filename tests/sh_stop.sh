#!/usr/bin/env bash
# The Stop of the real program under Xvfb: the bar shows while a command runs, and
# a mouse click on its button ends the command's whole group, even one that
# ignores SIGTERM.
# Usage: sh_stop.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "${1:?kiv binary}")
[ -x "$KIV" ] || { echo "FAIL: $1 is not an executable"; exit 1; }
. "$(dirname "$0")/x11-session.sh"
x11_begin
command -v compare >/dev/null || { echo "SKIP: ImageMagick's compare is not installed"; exit 0; }

OUT=$WORK/out
mkdir "$OUT"
printf '%s\n' "<vlayout><button>trap '' TERM; sleep 1000 & echo \$! > '$OUT/child'; echo \$\$ > '$OUT/leader'; sleep 1000</button><textlog height=\"80\"/></vlayout>" >"$WORK/stop.mc"
kiv_start "$WORK" stop.mc
kiv_window

window_settled "$WID" || wait_until window_settled "$WID"
cp "$WORK/look.png" "$WORK/idle.png"
xdotool key space
wait_until test -s "$OUT/leader" || die "the button's command did not start"
LEADER=$(cat "$OUT/leader")
x11_track_group "$LEADER"
# The bar shows in the window's bottom right corner (the rest may change: the log).
corner() { convert "$1" -gravity SouthEast -crop 120x36+0+0 +repage "$2"; }
corner "$WORK/idle.png" "$WORK/idle-corner.png"
corner_is_idle() {
    corner "$WORK/look.png" "$WORK/corner.png" && compare -metric AE "$WORK/corner.png" "$WORK/idle-corner.png" null: 2>/dev/null
}
bar_shown() { window_settled "$WID" && [ -s "$WORK/look.png" ] && ! corner_is_idle; }
bar_gone() { window_settled "$WID" && corner_is_idle; }
wait_until bar_shown || die "no bar appeared while the command ran"
shot stop-bar "$WID"
eval "$(xdotool getwindowgeometry --shell "$WID")"
# The Stop button is the bar's last widget, right at the corner.
t0=$(date +%s.%N)
xdotool mousemove $((X + WIDTH - 30)) $((Y + HEIGHT - 20)) click 1
wait_until group_gone "$LEADER" &&
    ok "a click on Stop ended the command and its background job in $(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s" ||
    die "Stop left the command's group running"
kill -0 "$KIV_PID" 2>/dev/null && ok "kiv lives on after Stop" || fail "kiv ended on Stop"
wait_until bar_gone && ok "the bar went away" || fail "the bar stayed after the run"
finish
