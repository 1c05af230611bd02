#!/usr/bin/env bash
# kiv --watch, the real program under Xvfb: saves in place and by rename rebuild the
# form in the same window, a broken save keeps the form and lists its errors, a fix
# rebuilds it, and --print-values prints the last form's values.
# Usage: sh_watch.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "${1:?kiv binary}")
[ -x "$KIV" ] || { echo "FAIL: $1 is not an executable"; exit 1; }
. "$(dirname "$0")/x11-session.sh"

# --- Command lines that cannot be watched: status 2, no display needed ----------
while IFS='|' read -r what args pattern; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$KIV" $args </dev/null 2>&1)
    rc=$?
    [ $rc = 2 ] && grep -q -- "$pattern" <<<"$out" && ok "$what: status 2" || fail "$what: status $rc, output: $out"
done <<TABLE
standard input|--watch -|standard input
no file|--watch|--watch needs an mc file
with --check|--check --watch f.mc|do not go together
TABLE

x11_begin
command -v compare >/dev/null || { echo "SKIP: ImageMagick's compare is not installed"; exit 0; }
cd "$WORK" || die "no scratch directory"
# A button first (it gets the keyboard), and a label whose command logs each build.
# One write each, as an editor's save.
form() { # title, word
    printf '<vlayout title="%s">\n<button title="Mark">echo %s >> pressed.log</button>\n%s\n</vlayout>\n' "$1" "$2" \
        "<label>echo $2 >> built.log; echo $2</label><text var=\"T\" text=\"$2\"/>"
}
built() { grep -qx "$1" built.log 2>/dev/null; }
title_is() { [ "$(xdotool getwindowname "$WID" 2>/dev/null)" = "$1" ]; }
pressed() { # word: the button of the form built from it writes it
    xdotool windowfocus --sync "$WID" key space
    wait_until grep -qx "$1" pressed.log
}
# The bar stands where the form's first widget stood: the top left corner tells.
corner() { convert "$1" -crop 40x30+0+0 +repage "$2"; }
corner_is_idle() {
    corner "$WORK/look.png" "$WORK/corner.png" && compare -metric AE "$WORK/corner.png" "$WORK/idle-corner.png" null: 2>/dev/null
}
bar_shown() { window_settled "$WID" && ! corner_is_idle; }
bar_gone() { window_settled "$WID" && corner_is_idle; }

form "watch one" one >f.mc
kiv_start "$WORK" --watch --print-values f.mc
kiv_window
wait_until title_is "watch one" || die "the form did not open: $(cat "$WORK/kiv.err")"

form "watch two" two >f.mc
wait_until title_is "watch two" && built two && ok "a save in place rebuilt the form" || fail "no rebuild after a save in place"
[ "$(window_of "$KIV_PID")" = "$WID" ] && ok "the same window" || fail "a new window after the rebuild"
pressed two && ok "the new form's button works" || fail "the new button did nothing"

form "watch three" three >f.mc.tmp && mv f.mc.tmp f.mc
wait_until title_is "watch three" && built three && ok "a file renamed over it rebuilt the form" ||
    fail "no rebuild after a rename"
# After a replace the new file is watched: a save in place follows.
form "watch three b" threeb >f.mc
wait_until title_is "watch three b" && ok "the renamed file is watched in turn" || fail "the renamed file is not watched"

wait_until window_settled "$WID" || die "the form does not settle"
corner "$WORK/look.png" "$WORK/idle-corner.png"
printf '<vlayout title="broken">\n<label text="x">\n' >f.mc.tmp && mv f.mc.tmp f.mc
wait_until grep -q '^f.mc:2:1: error: <label> is never closed' "$WORK/kiv.err" &&
    ok "a broken save lists its errors" || fail "no errors after a broken save: $(cat "$WORK/kiv.err")"
wait_until bar_shown && ok "the bar shows at the top" || fail "no bar over the form"
shot watch-errors "$WID"
title_is "watch three b" && pressed threeb && ok "the previous form stays and works" || fail "the previous form is gone"

form "watch four" four >f.mc
wait_until title_is "watch four" && built four && ok "the fix rebuilt the form" || fail "no rebuild after the fix"
pressed four || fail "the fixed form's button did nothing"
wait_until bar_gone && ok "the fix removed the bar" || fail "the bar stayed after the fix"
[ "$(grep -c . built.log)" = 5 ] && ok "one build per save" || fail "builds: $(tr '\n' ' ' <built.log)"

kill -TERM "$KIV_PID"
exit_status "$KIV_PID"
[ "$REPLY" = 143 ] && grep -qx "T='four'" "$WORK/kiv.out" && ok "the last form's values printed" ||
    fail "status $REPLY, values: $(cat "$WORK/kiv.out")"
finish
