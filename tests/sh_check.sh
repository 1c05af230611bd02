#!/bin/bash
# The real kiv from the outside: --check and its exit status, the start-up
# summary line, the command-line conventions, --print-values read back by eval
# in a calling script, and the dialog that a form which cannot open shows when
# standard error is no terminal.
# Usage: sh_check.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "$1")
SRC=$(realpath "$2")
. "$SRC/tests/x11-session.sh"

# --- kiv --check needs no display ------------------------------------------------
cd "$WORK"
cat >clean.mc <<'MC'
<vlayout>
  <label text="Name:"/>
  <text var="NAME">echo World</text>
  <note text="a remark"/>
</vlayout>
MC
# The misspelt <buton> lies inside what the reader leaves out: it is found all the same.
printf '<vlayout>\n  <label>a\n  <buton/>\n</vlayout>\n' >broken.mc
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$KIV" --check clean.mc 2>&1)
rc=$?
[ $rc = 0 ] && [ -z "$out" ] && ok "--check on a clean form: no output, status 0" \
    || fail "--check clean.mc: status $rc, output: $out"
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$KIV" --check clean.mc broken.mc 2>/dev/null)
rc=$?
if [ $rc = 1 ] && grep -qx 'broken.mc:2:3: error: <label> is never closed.*' <<<"$out" \
    && ! grep -qvE '^broken\.mc:[0-9]+:[0-9]+: (error|warning|note): ' <<<"$out"; then
    ok "--check on a broken form: FILE:LINE:COLUMN lines, status 1"
else
    fail "--check broken.mc: status $rc, output: $out"
fi
# "-" is standard input, read to its end and named <stdin>; after "--" it is a file.
printf '<vlayout/>\n' >./-
out=$(printf '<vlayout>\n  <buton/>\n</vlayout>\n' \
    | env -u DISPLAY -u QT_QPA_PLATFORM timeout 60 "$KIV" --check clean.mc - broken.mc -- - 2>&1)
rc=$?
if [ $rc = 1 ] && [ "$(grep -c '^<stdin>:2:3: warning: unknown tag <buton>' <<<"$out")" = 1 ] \
    && grep -q '^broken\.mc:2:3: error:' <<<"$out" && ! grep -q '^-:' <<<"$out"; then
    ok "--check mixes files and standard input"
else
    fail "--check clean.mc - broken.mc -- -: status $rc, output: $out"
fi

# A kiv in its build tree finds its pictures in the data staged beside it; they
# link into the icon theme, which must be installed for them to count.
if [ -e "$(dirname "$KIV")/kiv-data/icons/folder.png" ]; then
    out=$(env -u DISPLAY "$KIV" --check "$SRC"/examples/*.mc "$SRC"/docs/examples/*.mc 2>&1)
    rc=$?
    [ $rc = 0 ] && [ -z "$out" ] && ok "every shipped form checks clean" || fail "shipped forms: status $rc: $out"
else
    echo "note: the icon theme is not installed; the shipped forms are not checked"
fi

# --- Command-line conventions -------------------------------------------------------
err=$(env -u DISPLAY "$KIV" --bogus clean.mc 2>&1 >/dev/null)
rc=$?
[ $rc = 2 ] && grep -q "unknown option '--bogus'" <<<"$err" && ok "unknown option: status 2" \
    || fail "--bogus: status $rc: $err"
err=$(env -u DISPLAY "$KIV" --chek clean.mc 2>&1 >/dev/null)
grep -q "did you mean '--check'" <<<"$err" && ok "a mistyped option gets a hint" || fail "--chek: $err"
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$KIV" -h 2>&1)
[ $? = 0 ] && grep -q -- '--print-values' <<<"$out" && ok "-h without a display" || fail "-h: $out"
# After --, a file named -h is a form (its command leaves a mark).
printf '<label>echo built > "$OUT"; echo x</label>\n' >./-h
OUT=$WORK/dash-h.out QT_QPA_PLATFORM=offscreen kiv_start "$WORK" -- -h
wait_until test -s "$WORK/dash-h.out" && ok "kiv -- -h opens the file -h" || fail "kiv -- -h: $(cat "$WORK/kiv.err")"
kill "$KIV_PID" 2>/dev/null

# --- Start-up: forms open as before, with one line that says what --check would ---
cat >warn.mc <<'MC'
<vlayout>
  <buton title="misspelt"/>
  <label>echo built > "$OUT"; echo x</label>
</vlayout>
MC
OUT=$WORK/warn.out QT_QPA_PLATFORM=offscreen kiv_start "$WORK" warn.mc
if wait_until test -s "$WORK/warn.out" \
    && grep -qx 'kiv: warn.mc: 1 warning; kiv --check warn.mc shows it' "$WORK/kiv.err"; then
    ok "a form with a mistake opens, with one line on stderr"
else
    fail "warn.mc: $(cat "$WORK/kiv.err")"
fi
kill "$KIV_PID" 2>/dev/null
QT_QPA_PLATFORM=offscreen timeout --foreground -k 30 60 "$KIV" broken.mc >/dev/null 2>"$WORK/broken.err"
rc=$?
if [ $rc = 1 ] && grep -qx 'kiv: broken.mc: element <label> opened on line 2 is never closed' "$WORK/broken.err" \
    && grep -qx 'kiv: broken.mc: 1 error, 1 warning; kiv --check broken.mc shows them' "$WORK/broken.err"; then
    ok "a form that cannot open names the element left open"
else
    fail "broken.mc: status $rc: $(cat "$WORK/broken.err")"
fi

# A titled form starts without a word on stderr: its title is no mistake.
cat >titled.mc <<'MC'
<vlayout title="Nightly backup">
  <title>echo "Backup of $(date +%F)"</title>
  <label>echo built > "$OUT"; echo x</label>
</vlayout>
MC
OUT=$WORK/titled.out QT_QPA_PLATFORM=offscreen kiv_start "$WORK" titled.mc
if wait_until test -s "$WORK/titled.out" && ! grep -q 'titled.mc' "$WORK/kiv.err"; then
    ok "a titled form starts without a warning"
else
    fail "titled.mc: $(cat "$WORK/kiv.err")"
fi
kill "$KIV_PID" 2>/dev/null

# --- Paths that are no regular file are refused at once, never waited on -----------
mkfifo form.fifo
err=$(QT_QPA_PLATFORM=offscreen timeout --foreground -k 5 30 "$KIV" form.fifo 2>&1 >/dev/null)
rc=$?
[ $rc = 1 ] && grep -q 'form.fifo: Is a named pipe (FIFO)' <<<"$err" && ok "a FIFO as form: status 1 at once" \
    || fail "kiv form.fifo: status $rc: $err"
out=$(timeout --foreground -k 5 30 "$KIV" --check /dev/zero form.fifo 2>&1)
rc=$?
[ $rc = 1 ] && grep -q '^/dev/zero:1:1: error: cannot read the file: Is a device' <<<"$out" \
    && grep -q '^form.fifo:1:1: error: cannot read the file: Is a named pipe' <<<"$out" \
    && ok "--check refuses a device and a FIFO without reading" || fail "--check /dev/zero: status $rc: $out"

# --- A real display ------------------------------------------------------------------
x11_begin

# Values read back by eval: quotes, $(...), a newline, UTF-8, a byte that is not
# UTF-8, a name the shell cannot use (left out), a name bound twice (the later
# wins). The last label tells the test that the form is built.
cat >values.mc <<'MC'
<vlayout>
  <global var="QUOTES">printf '%s' "it's \"quoted\""</global>
  <global var="SUBST">printf '%s' '$(touch "$OUT.pwned") `id`'</global>
  <global var="LINES">printf 'one\ntwo'</global>
  <text var="UNI">printf 'caff\303\250 \342\202\254'</text>
  <text var="LATIN">printf 'caf\351'</text>
  <text var="my-name">echo left out</text>
  <text var="TWICE">echo first</text>
  <checkbox var="TWICE"/>
  <label>echo built > "$OUT"; echo ready</label>
</vlayout>
MC
expect_values() { # the values as the calling script sees them
    [ "$QUOTES" = "it's \"quoted\"" ] && [ "$SUBST" = '$(touch "$OUT.pwned") `id`' ] \
        && [ "$LINES" = $'one\ntwo' ] && [ "$UNI" = $'caff\303\250 \342\202\254' ] \
        && [ "$LATIN" = $'caf\351' ] && [ "$TWICE" = 0 ] && [ -z "${KIV_MY_PID+set}" ] && [ ! -e "$OUT.pwned" ]
}
# values_after FORM STATUS WHAT ACTION...: opens FORM with --print-values, ends it
# with ACTION (given the window id) and reads the printed values back with eval.
values_after() {
    local form=$1 expected=$2 what=$3 wid status
    shift 3
    rm -f "$WORK/values.out"
    OUT=$WORK/values.out kiv_start "$WORK" --print-values "$form"
    wid=$(window_of "$KIV_PID")
    if [ -z "$wid" ] || ! wait_until test -s "$WORK/values.out"; then
        fail "$form never showed: $(cat "$WORK/kiv.err")"
        return
    fi
    "$@" "$wid"
    exit_status "$KIV_PID"
    status=$REPLY
    OUT=$WORK/values.out
    if [ "$status" = "$expected" ] && eval "$(cat "$WORK/kiv.out")" && expect_values; then
        ok "$what: status $expected, values read back by eval"
    else
        fail "values after $what: status $status, output: $(cat -A "$WORK/kiv.out"), stderr: $(cat "$WORK/kiv.err")"
    fi
}
if command -v python3 >/dev/null; then
    values_after values.mc 0 "closing the window" close_window
else
    echo "python3 is missing: the window-close check is left out"
fi

# kill $KIV_MY_PID from a command ends the form with status 143, values printed.
sed 's|^<vlayout>$|<vlayout><button title="Done">kill "$KIV_MY_PID"</button>|' values.mc >killed.mc
# The button is the first widget that takes the focus: space presses it.
press_space() { xdotool windowfocus --sync "$1" key space; }
values_after killed.mc 143 "kill \$KIV_MY_PID" press_space

# A form from a here-document in a script: titled "kiv" when its root has no title,
# its commands read an empty standard input, its values come back through eval.
if command -v python3 >/dev/null; then
cat >stdin-script.sh <<'SH'
eval "$("$KIV" --print-values - <<'MC'
<vlayout>
  <text var="FROM">printf 'here doc'</text>
  <text var="INPUT">cat; echo "[$?]"</text>
  <label>echo built > "$OUT"; echo x</label>
</vlayout>
MC
)"
printf '%s|%s\n' "$FROM" "$INPUT" >"$OUT.values"
SH
(cd "$WORK" && KIV=$KIV OUT=$WORK/stdin.out exec bash stdin-script.sh) >"$WORK/stdin.log" 2>&1 &
script_pid=$!
x11_track "$script_pid"
wid=$(timeout "$KIV_TEST_WAIT" xdotool search --sync --onlyvisible --name '^kiv$' 2>/dev/null | head -n 1)
if [ -n "$wid" ] && wait_until test -s "$WORK/stdin.out"; then
    ok "a form from standard input is titled kiv"
    close_window "$wid"
    exit_status "$script_pid"
    [ "$REPLY" = 0 ] && [ "$(cat "$WORK/stdin.out.values" 2>/dev/null)" = 'here doc|[0]' ] \
        && ok "eval \"\$(kiv --print-values - <<EOF)\" reads the values back" \
        || fail "script status $REPLY, values: $(cat "$WORK/stdin.out.values" 2>&1), log: $(cat "$WORK/stdin.log")"
else
    fail "no window titled kiv for a form from standard input: $(cat "$WORK/stdin.log")"
fi
fi

# A form that cannot open, started as a file manager starts it (standard error
# no terminal): a dialog says why, and kiv ends with status 1 once it is closed.
kiv_start "$WORK" broken.mc
dialog=$(timeout "$KIV_TEST_WAIT" xdotool search --sync --onlyvisible --name 'form cannot be opened' 2>/dev/null | head -n 1)
if [ -n "$dialog" ]; then
    shot check-dialog
    ok "a dialog tells why the form cannot open"
    xdotool windowfocus --sync "$dialog" key Return
    exit_status "$KIV_PID"
    [ "$REPLY" = 1 ] && ok "closing the dialog ends kiv with status 1" || fail "after the dialog: status $REPLY"
else
    fail "no dialog for broken.mc: $(cat "$WORK/kiv.err")"
fi
grep -q 'never closed' "$WORK/kiv.err" || fail "the message did not reach stderr too: $(cat "$WORK/kiv.err")"

finish
