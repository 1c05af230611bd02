#!/bin/bash
# Password, ticked check box, radio and text area in the real kiv under Xvfb, by
# keyboard: a copied password reaches neither X selection; the values reach a
# command and --print-values unchanged.
#
# usage: sh_inputs.sh KIV_BINARY SOURCE_DIR
set -u

KIV=$(realpath "${1:?usage: sh_inputs.sh KIV_BINARY SOURCE_DIR}")
SRC=$(realpath "${2:?usage: sh_inputs.sh KIV_BINARY SOURCE_DIR}")
. "$SRC/tests/x11-session.sh"
[ -x "$KIV" ] || die "$KIV is not an executable"
x11_begin
command -v xclip >/dev/null || die "xclip is not installed"

mkdir "$WORK/form"
export OUT="$WORK/out.txt"
cat >"$WORK/form/form.mc" <<'MC'
<config>
  <password var="PW"/>
  <checkbox var="ON" text="On" checked="1"/>
  <radio var="MODE" title="Mode">printf '%s\n' fast '#safe' slow</radio>
  <textarea var="NOTES"/>
  <button title="Done">printf '%s\n' "$PW" "$ON" "$MODE" "$NOTES" > "$OUT"; kill "$KIV_MY_PID"</button>
</config>
MC
SECRET='pa'"'"'ss "$(id)" città'
kiv_start "$WORK/form" --print-values "$WORK/form/form.mc"
kiv_window
# The password box has the focus when the window opens.
type_text "$SECRET"
xdotool key --delay 50 ctrl+a ctrl+c shift+Home
for selection in clipboard primary; do
    if xclip -o -selection "$selection" 2>/dev/null | grep -q 'pa'; then
        fail "the password reached the $selection selection"
    fi
done
xdotool key --delay 50 Tab Tab Down Tab
type_text one
xdotool key Return
type_text two
xdotool key --delay 50 Tab space
exit_status "$KIV_PID"
[ "$REPLY" = 143 ] || fail "kiv ended with status $REPLY, expected 143: $(cat "$WORK/kiv.err")"
printf '%s\n' "$SECRET" 1 slow one two >"$WORK/expected.txt"
cmp -s "$WORK/expected.txt" "$OUT" || fail "expected $(cat "$WORK/expected.txt"), got $(cat "$OUT" 2>/dev/null)"
(
    eval "$(cat "$WORK/kiv.out")"
    [ "$PW" = "$SECRET" ] && [ "$ON" = 1 ] && [ "$MODE" = slow ] && [ "$NOTES" = $'one\ntwo' ]
) && ok "--print-values read back the same" || fail "--print-values printed: $(cat "$WORK/kiv.out")"
grep -q 'pa' "$WORK/kiv.err" && fail "the password reached standard error"
finish
