#!/usr/bin/env bash
# The real program under Xvfb: an icon list driven with real double clicks.
# Usage: sh_iconlist.sh KIV_BINARY SOURCE_DIR
set -u

KIV=$(realpath "${1:?kiv binary}")
SRC=$(realpath "${2:?source directory}")
. "$SRC/tests/x11-session.sh"
[ -x "$KIV" ] || die "$1 is not an executable"
x11_begin

# Rows of at least the icon's height in list mode; the list is the whole form. The
# content command leaves a mark, so that we know the form was really built.
out="$WORK/out"
mkdir "$out"
cat >"$WORK/form.mc" <<'MC'
<iconlist var="PICK" mode="list" iconwidth="40" iconheight="40" width="320" height="260" code="touch $KIV_OUT/built; printf 'alpha\nbeta'">
  <ondoubleclick>echo "list:$PICK" >> "$KIV_OUT/list"</ondoubleclick>
  <icon text="gamma"><ondoubleclick>echo "entry:$PICK" >> "$KIV_OUT/entry"</ondoubleclick></icon>
  <icon text="delta" src="folder.png"/>
</iconlist>
MC
export KIV_OUT=$out
kiv_start "$WORK" form.mc
kiv_window
wait_until test -e "$out/built" || die "kiv built no icon list from the form: $(cat "$WORK/kiv.err")"
eval "$(xdotool getwindowgeometry --shell "$WID")"
[ "$WIDTH" -ge 320 ] && [ "$HEIGHT" -ge 260 ] || die "window ${WIDTH}x$HEIGHT is smaller than the list"

# The list's frame is the first line, from the top, that differs from the window's
# background; its rows follow one another without gaps from just below it.
column=$(import -window "$WID" -crop "1x$HEIGHT+$((WIDTH - 20))+0" txt:- 2>/dev/null | sed -n 's/^0,\([0-9]*\): .*\(#[0-9A-F]*\).*/\1 \2/p')
background=$(head -n 1 <<<"$column" | cut -d' ' -f2)
top=$(awk -v bg="$background" '$2 != bg { print $1; exit }' <<<"$column")
[ -n "$top" ] || die "no list found in the window's picture"

# Double-click down the list in steps shorter than any row: every entry is hit at
# least once, and each hit is waited for (its command has written its line and
# ended, so kiv takes input again) before the next, until the last entry answered.
hits() { cat "$out/list" "$out/entry" 2>/dev/null | wc -l; }
more_hits() { [ "$(hits)" -gt "$1" ] && [ -z "$(ps -o pid= --ppid "$KIV_PID")" ]; }
for ((dy = top + 4; dy < HEIGHT; dy += 10)); do
    before=$(hits)
    xdotool mousemove --sync $((X + 40)) $((Y + dy)) click --repeat 2 --delay 40 1
    wait_until more_hits "$before" || die "the double click at $dy px ran no command; so far: $(cat "$out"/* 2>/dev/null)"
    grep -qx "list:delta" "$out/list" 2>/dev/null && break
done
grep -qx "list:delta" "$out/list" 2>/dev/null || die "no double click reached the last entry: $(cat "$out/list" 2>/dev/null)"

# The hits in order, repeats of the same entry folded into one.
list_hits=$(uniq "$out/list" | tr '\n' ' ')
entry_hits=$(uniq "$out/entry" 2>/dev/null | tr '\n' ' ')
# Content entries and an entry without a command run the list's command, with
# the double-clicked entry already selected; an entry with its own command runs
# only that one.
[ "$list_hits" = "list:alpha list:beta list:delta " ] && ok "list command hits: $list_hits" \
    || fail "list command hits: $list_hits"
[ "$entry_hits" = "entry:gamma " ] && ok "entry command hits: $entry_hits" || fail "entry command hits: $entry_hits"

kill -0 "$KIV_PID" 2>/dev/null || fail "kiv ended early: $(cat "$WORK/kiv.err")"
finish
