#!/usr/bin/env bash
# The real program under Xvfb: rows of a table picked with the keyboard, the value
# (quotes, $(...), a non-UTF-8 byte) read back through --print-values and eval.
# Usage: sh_table.sh KIV_BINARY SOURCE_DIR
set -u

KIV=$(realpath "${1:?kiv binary}")
SRC=$(realpath "${2:?source directory}")
. "$SRC/tests/x11-session.sh"
[ -x "$KIV" ] || die "$1 is not an executable"
x11_begin

# Output as ps gives it; the first row starts selected, so the table has a current row.
cat >"$WORK/form.mc" <<'MC'
<vlayout>
  <table var="WHO" columns="PID|User|Command" separator="blanks" select="multi" column="2" width="400" height="200">
    <code>printf '%s\n' '#  812 root     /usr/sbin/cron -f' ' 1090 ada      bash' "12004 o'br$(printf '\351')en \$(x) vim" '   97 root     [kworker]'</code>
  </table>
  <button title="Done">kill "$KIV_MY_PID"</button>
</vlayout>
MC
kiv_start "$WORK" --print-values form.mc
kiv_window
# The table has the focus: move to the third row without selecting and add it,
# then Tab to the button, which ends the form.
xdotool key --delay 100 ctrl+Down ctrl+Down space Tab space
exit_status "$KIV_PID"
[ "$REPLY" = 143 ] || die "kiv ended with status $REPLY: $(cat "$WORK/kiv.err")"
eval "$(cat "$WORK/kiv.out")" || die "the values do not read back: $(cat -A "$WORK/kiv.out")"
expected=$(printf 'root\no'"'"'br\351en')
[ "$WHO" = "$expected" ] && ok "two rows picked by keys, the user column byte for byte" \
    || fail "WHO is $(printf '%s' "$WHO" | od -c | head -n 3)"
finish
