#!/usr/bin/env bash
# kiv's windows as a desktop sees them, under a private Xvfb: titles, icon and
# class of three forms (xprop), the notice closed by Return and by Escape, and a
# form used with the keyboard alone.
# Usage: sh_desktop.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "${1:?kiv binary}")
. "$(dirname "$0")/x11-session.sh"
command -v xprop >/dev/null || { echo "SKIP: xprop is not installed"; exit 0; }
x11_begin

OUT=$WORK/out
mkdir "$OUT"
export OUT

# --- identity: three forms open at once --------------------------------------
cat >"$WORK/backup.mc" <<'MC'
<vlayout title="Nightly backup"><label text="one"/></vlayout>
MC
cat >"$WORK/disk usage.mc" <<'MC'
<vlayout><label text="two"/></vlayout>
MC
cat >"$WORK/pages.mc" <<'MC'
<tab title="First page"><label text="three"/></tab>
MC
declare -A expect=([backup.mc]="Nightly backup" [disk usage.mc]="disk usage" [pages.mc]="pages")
pids=()
for form in backup.mc "disk usage.mc" pages.mc; do
    kiv_start "$WORK" "$form"
    pids+=("$KIV_PID")
done
i=0
for form in backup.mc "disk usage.mc" pages.mc; do
    pid=${pids[$i]}
    i=$((i + 1))
    wid=$(window_of "$pid")
    [ -n "$wid" ] || { fail "$form: no window"; continue; }
    props=$(xprop -id "$wid" _NET_WM_NAME WM_CLASS _NET_WM_ICON 2>&1 | cut -c1-200)
    name=$(sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p' <<<"$props")
    [ "$name" = "${expect[$form]}" ] && ok "$form: title \"$name\"" \
        || fail "$form: _NET_WM_NAME is \"$name\", not \"${expect[$form]}\""
    grep -q '^WM_CLASS(STRING) = "kiv", "kiv"$\|^WM_CLASS(STRING) = "kiv", "Kiv"$' <<<"$props" \
        && ok "$form: WM_CLASS names kiv" || fail "$form: $(grep WM_CLASS <<<"$props")"
    grep -q '^_NET_WM_ICON(CARDINAL) = ' <<<"$props" && ok "$form: has an icon" \
        || fail "$form: no _NET_WM_ICON ($(grep _NET_WM_ICON <<<"$props"))"
    kill "$pid"
done
shot desktop-identity

# --- the notice: Return and Escape close it like OK --------------------------
for key in Return Escape; do
    kiv_start "$WORK" -show "first line" "second line"
    wid=$(window_of "$KIV_PID")
    [ -n "$wid" ] || { fail "notice: no window"; continue; }
    xprop -id "$wid" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DIALOG \
        && ok "notice: a dialog" || fail "notice: $(xprop -id "$wid" _NET_WM_WINDOW_TYPE)"
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    dx=$((X + WIDTH / 2 - 640)) dy=$((Y + HEIGHT / 2 - 450))
    [ "${dx#-}" -le 8 ] && [ "${dy#-}" -le 8 ] && ok "notice: centred" \
        || fail "notice: at $X,$Y size ${WIDTH}x$HEIGHT, not centred on 1280x900"
    xdotool windowfocus --sync "$wid" key "$key"
    exit_status "$KIV_PID"
    [ "$REPLY" = 0 ] && ok "notice: $key closes it with status 0" || fail "notice: $key gave status $REPLY"
done

# --- one form, the keyboard alone ---------------------------------------------
# Focus starts in the text box; Tab must leave the text log (else Down and
# Return would stay in it). Tab into the list makes its first entry current,
# Down moves to the second; Return runs that entry's command, then the button's.
cat >"$WORK/keys.mc" <<'MC'
<vlayout title="Keyboard">
  <label text="Name:"/>
  <text var="NAME"/>
  <textlog width="520" height="140"/>
  <iconlist var="PICK" mode="list" height="70" code="printf 'alpha\nbeta'">
    <ondoubleclick>echo "list:$PICK" >> "$OUT/runs"</ondoubleclick>
  </iconlist>
  <button title="Run">echo "run:$NAME" >> "$OUT/runs"; ps -o pid,ppid,user,stat,comm -p $$,$PPID,$KIV_MY_PID; df -h / | head -n 2; touch "$OUT/done"</button>
</vlayout>
MC
kiv_start "$WORK" keys.mc
wid=$(window_of "$KIV_PID")
[ -n "$wid" ] || die "keys.mc: no window: $(cat "$WORK/kiv.err")"
xdotool windowfocus --sync "$wid"
has_line() { grep -qx -- "$2" "$1" 2>/dev/null; }
xdotool type --delay 40 Ada
xdotool key --delay 80 Tab Tab Down Return
wait_until has_line "$OUT/runs" "list:beta" && ok "Tab left the text log; Return ran the entry's command" \
    || fail "no list:beta after Tab Tab Down Return: $(cat "$OUT/runs" 2>/dev/null)"
xdotool key --delay 80 Tab Return
wait_until has_line "$OUT/runs" "run:Ada" && ok "Return pressed the button" \
    || fail "the button did not run: $(cat "$OUT/runs" 2>/dev/null)"
printf 'list:beta\nrun:Ada\n' | cmp -s - "$OUT/runs" && ok "each command ran once" \
    || fail "runs holds: $(cat "$OUT/runs")"
# The log shows ps and df columns in the fixed-width font: look at this picture.
wait_until test -e "$OUT/done"
wait_until xdotool search --name '^Keyboard$' >/dev/null || fail "no window titled Keyboard"
shot desktop-keyboard
kill -0 "$KIV_PID" 2>/dev/null || fail "kiv ended: $(cat "$WORK/kiv.err")"
finish
