#!/usr/bin/env bash
# kiv's windows as a desktop sees them, under a private Xvfb: title, class and
# icon of three forms, the notice closed by Return and by Escape, and a form used
# with the keyboard alone.  Usage: sh_desktop.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "${1:?kiv binary}")
. "$(dirname "$0")/x11-session.sh"
command -v xprop >/dev/null || { echo "SKIP: xprop is not installed"; exit 0; }
x11_begin
export OUT=$WORK/out
mkdir "$OUT"

echo '<vlayout title="Nightly backup"><label text="1"/></vlayout>' >"$WORK/backup.mc"
echo '<vlayout><label text="2"/></vlayout>' >"$WORK/disk usage.mc"
echo '<tab title="Page"><label text="3"/></tab>' >"$WORK/pages.mc"
for pair in "backup.mc:Nightly backup" "disk usage.mc:disk usage" "pages.mc:pages"; do
    kiv_start "$WORK" "${pair%%:*}"
    props=$(xprop -id "$(window_of "$KIV_PID")" _NET_WM_NAME WM_CLASS _NET_WM_ICON 2>&1 | head -n 3)
    grep -qxF "_NET_WM_NAME(UTF8_STRING) = \"${pair#*:}\"" <<<"$props" \
        && grep -qx 'WM_CLASS(STRING) = "kiv", "[kK]iv"' <<<"$props" && grep -q '^_NET_WM_ICON(CARDINAL) = ' <<<"$props" \
        && ok "${pair%%:*}: title, class and icon" || fail "${pair%%:*}: $props"
done

for key in Return Escape; do
    kiv_start "$WORK" -show "first line" "second line"
    wid=$(window_of "$KIV_PID")
    xprop -id "$wid" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DIALOG || fail "notice: not a dialog"
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    dx=$((X + WIDTH / 2 - 640)) dy=$((Y + HEIGHT / 2 - 450))
    [ "${dx#-}" -le 8 ] && [ "${dy#-}" -le 8 ] || fail "notice: ${WIDTH}x$HEIGHT at $X,$Y is not centred"
    xdotool windowfocus --sync "$wid" key "$key"
    exit_status "$KIV_PID"
    [ "$REPLY" = 0 ] && ok "notice: $key closes it, status 0" || fail "notice: $key gave status $REPLY"
done

# Focus starts in the text box. Tab must leave the text log (else Down and Return
# would stay in it); Tab into the list makes its first entry current, Down the second.
cat >"$WORK/keys.mc" <<'MC'
<vlayout title="Keyboard">
  <label text="Name:"/>
  <text var="NAME"/>
  <textlog width="520" height="140"/>
  <iconlist var="PICK" mode="list" code="printf 'alpha\nbeta'">
    <ondoubleclick>echo "list:$PICK" >> "$OUT/runs"</ondoubleclick>
  </iconlist>
  <button title="Run">echo "run:$NAME" >> "$OUT/runs"; ps -o pid,ppid,user,stat,comm -p $$,$KIV_MY_PID; df -h /; touch "$OUT/done"</button>
</vlayout>
MC
kiv_start "$WORK" keys.mc
xdotool windowfocus --sync "$(window_of "$KIV_PID")" type --delay 40 Ada
xdotool key --delay 80 Tab Tab Down Return
# Keys pressed while a command runs are dropped: the rest waits until the list's
# command has run and kiv has reaped it.
idle() { [ -z "$(ps -o pid= --ppid "$KIV_PID")" ]; }
wait_until grep -qx 'list:beta' "$OUT/runs" 2>/dev/null && wait_until idle || fail "the list's command did not end"
xdotool key --delay 80 Tab Return
wait_until test -e "$OUT/done" || fail "the button did not run"
printf 'list:beta\nrun:Ada\n' | cmp -s - "$OUT/runs" && ok "keyboard alone: list entry and button ran once each" \
    || fail "runs holds: $(cat "$OUT/runs" 2>/dev/null)"
shot desktop-keyboard # ps and df columns line up in the text log: look at it
finish
