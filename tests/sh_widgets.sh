#!/bin/bash
# Drives the real kiv from outside, as a user at the keyboard would: type into a
# text box, Tab to a check box and a combo box, press a button with space; the
# button's command writes the variables to a file that is checked afterwards.
# Then packs a folder with examples/archive.mc through its keyboard shortcuts.
#
# usage: sh_widgets.sh KIV_BINARY SOURCE_DIR
set -u

KIV=$(realpath "${1:?usage: sh_widgets.sh KIV_BINARY SOURCE_DIR}")
SRC=$(realpath "${2:?usage: sh_widgets.sh KIV_BINARY SOURCE_DIR}")
. "$SRC/tests/x11-session.sh"
[ -x "$KIV" ] || die "$KIV is not an executable"
command -v tar >/dev/null || die "tar is not installed"
x11_begin

stop_kiv()
{
    kill -0 "$KIV_PID" 2>/dev/null || die "kiv is no longer running (it crashed?): $(cat "$WORK/kiv.err")"
    kill "$KIV_PID"
    wait "$KIV_PID" 2>/dev/null
}

# --- a form of every widget kind, filled in by keyboard ---------------------
mkdir "$WORK/form"
export READY="$WORK/ready" OUT="$WORK/out.txt"
cat >"$WORK/form/form.mc" <<'MC'
<config>
  <global var="FIXED">touch "$READY"; printf 'fisso'</global>
  <text var="NAME"/>
  <checkbox var="LOUD" text="Loud"/>
  <combobox var="ALGO">printf 'gzip\nbzip2\nxz'</combobox>
  <button title="Save">printf '%s\n' "$NAME" "$LOUD" "$ALGO" "$FIXED" > "$OUT"</button>
</config>
MC
TYPED='città € "; touch HACKED; echo " $(id) `id` '"'"'q'"'"
kiv_start "$WORK/form" "$WORK/form/form.mc"
kiv_window
wait_until test -e "$READY" || die "kiv showed a window but built no form"
# The text box has the focus when the window opens.
type_text "$TYPED"
xdotool key --delay 50 Tab space Tab Down Tab space
wait_until test -s "$OUT" || die "the button wrote nothing to \$OUT"
printf '%s\n' "$TYPED" 1 bzip2 fisso >"$WORK/expected.txt"
if cmp -s "$WORK/expected.txt" "$OUT"; then
    ok "typed, toggled and picked values reached the command unchanged"
else
    fail "the command did not see the values as entered: expected $(cat "$WORK/expected.txt"), got $(cat "$OUT")"
fi
[ -e "$WORK/form/HACKED" ] && fail "a typed value was run as a command"
stop_kiv

# --- examples/archive.mc packs a folder ----------------------------------------
mkdir -p "$WORK/project/.git" "$WORK/project/docs" "$WORK/home"
echo "first" >"$WORK/project/a.txt"
echo "città" >"$WORK/project/docs/b.txt"
echo "x" >"$WORK/project/.git/HEAD"
# The archive goes to $HOME, named after the folder kiv starts in.
export HOME="$WORK/home"
kiv_start "$WORK/project" "$SRC/examples/archive.mc"
kiv_window
# Alt+L ticks "Leave out version control data", Alt+C presses "Create archive".
xdotool key --delay 100 alt+l alt+c
archive_done()
{
    local f
    f=$(ls "$WORK/home"/project-*.tar.* 2>/dev/null | head -n 1)
    [ -n "$f" ] && tar -tf "$f" >"$WORK/listing.txt" 2>/dev/null && grep -qx 'project/docs/b.txt' "$WORK/listing.txt"
}
wait_until archive_done || die "examples/archive.mc made no readable archive in \$HOME"
ls "$WORK/home"/project-*.tar.xz >/dev/null 2>&1 || fail "the preselected xz compression was not used"
grep -q '^project/.git' "$WORK/listing.txt" && fail "version control data was packed although excluded"
grep -qx 'project/a.txt' "$WORK/listing.txt" || fail "the archive lacks project/a.txt"
stop_kiv
ok "examples/archive.mc packed the folder"
finish
