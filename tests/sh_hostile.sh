#!/bin/bash
# Hostile ends, inputs and names against the real kiv: whatever ends kiv, the
# running command's group ends with it; a group id is signalled only while it is
# kiv's; commands never read a terminal; files that hold no form fail at once, with
# or without a display; names that look like options open after "--".
# Usage: sh_hostile.sh KIV_BINARY SOURCE_DIR
set -u
KIV=$(realpath "${1:?kiv binary}")
. "$(dirname "$0")/x11-session.sh"
export OUT=$WORK/out
mkdir "$OUT"
cd "$WORK" || exit 1

# kiv on FILE without a window system; KIV_PID. No core files from the signals below.
offscreen() { (ulimit -c 0; QT_QPA_PLATFORM=offscreen exec "$KIV" "$@") >"$WORK/kiv.out" 2>"$WORK/kiv.err" & KIV_PID=$!; x11_track "$KIV_PID"; }
started() { wait_until test -s "$OUT/$1" || { fail "$2: the command did not start: $(cat "$WORK/kiv.err")"; return 1; }; }

# --- Whatever ends kiv, the running command's group ends: during the build --------
# A busy loop in front and a job in the background, both in the command's group.
printf '%s\n' '<vlayout><label>sleep 1000 & echo $$ > "$OUT/leader"; while :; do :; done</label></vlayout>' >busy.mc
for sig in TERM KILL SEGV ABRT QUIT USR1 PIPE; do
    rm -f "$OUT/leader"
    offscreen busy.mc
    started leader "SIG$sig" || continue
    leader=$(<"$OUT/leader")
    x11_track_group "$leader"
    kill -s "$sig" "$KIV_PID"
    exit_status "$KIV_PID"
    if wait_until group_gone "$leader"; then
        ok "SIG$sig to kiv (status $REPLY): nothing of the command's group is left"
    else
        fail "SIG$sig to kiv left the command's group $leader running"
        kill -KILL -- "-$leader" 2>/dev/null
    fi
done

# --- A job that left the group on purpose keeps the output and its freedom --------
# bash has ended, yet kiv holds it unreaped while it waits: the group id cannot pass
# to anyone else before the stop has dealt with it.
printf '%s\n' '<vlayout><label>setsid sleep 1000 & echo $! > "$OUT/escaped"; echo $$ > "$OUT/leader"</label></vlayout>' >escape.mc
rm -f "$OUT"/*
offscreen escape.mc
if started leader "setsid job"; then
    leader=$(<"$OUT/leader")
    held() { [ -r "/proc/$leader/stat" ] && [[ $(<"/proc/$leader/stat") =~ \)\ Z\ $KIV_PID\  ]]; }
    wait_until held && ok "the ended leader stays kiv's unreaped child while the run lasts" ||
        fail "the leader $leader was reaped while the run went on"
    kill -TERM "$KIV_PID"
    exit_status "$KIV_PID"
    [ "$REPLY" = 143 ] && ok "SIGTERM ends a run held open by a setsid job" || fail "status $REPLY"
    escaped=$(<"$OUT/escaped")
    x11_track "$escaped"
    kill -0 "$escaped" 2>/dev/null && ok "the setsid job keeps its freedom" || fail "the setsid job was ended"
    kill -KILL "$escaped" 2>/dev/null
fi

# --- Standard input: never a terminal, but a pipe is handed on ---------------------
printf '%s\n' '<vlayout><label>echo $KIV_MY_PID > "$OUT/kiv"; read -r x; echo "[$x]" > "$OUT/read"</label></vlayout>' >read.mc
rm -f "$OUT"/*
script -qec "QT_QPA_PLATFORM=offscreen '$KIV' read.mc" /dev/null </dev/null >/dev/null 2>&1 &
x11_track $!
wait_until test -s "$OUT/read" && [ "$(<"$OUT/read")" = "[]" ] &&
    ok "a command run from a terminal reads nothing instead of stopping" || fail "read under a terminal: $(cat "$OUT/read" 2>&1)"
[ -s "$OUT/kiv" ] && kill "$(<"$OUT/kiv")"
rm -f "$OUT"/*
echo "from the pipe" | (QT_QPA_PLATFORM=offscreen exec "$KIV" read.mc) >/dev/null 2>&1 &
KIV_PID=$!
x11_track "$KIV_PID"
wait_until test -s "$OUT/read" && [ "$(<"$OUT/read")" = "[from the pipe]" ] &&
    ok "a pipe on standard input reaches the commands" || fail "piped input: $(cat "$OUT/read" 2>&1)"
kill "$KIV_PID"

# --- Files that hold no form: their own message and status 1, at once -------------
mkfifo fifo.mc
printf 'no tags\n' >tagless.mc
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout -k 5 "$KIV_TEST_WAIT" "$KIV" "$@" </dev/null; }
while IFS='|' read -r file message; do
    out=$(nodisplay "$file" 2>&1)
    rc=$?
    [ "$rc" = 1 ] && [ "$out" = "kiv: $file: $message" ] && ok "$file: $message" ||
        fail "$file without a display: status $rc, said: $out"
done <<'EOF'
nosuch.mc|No such file or directory
tagless.mc|no element found
fifo.mc|Is a named pipe (FIFO): kiv reads forms only from regular files
/dev/zero|Is a device: kiv reads forms only from regular files
EOF

# --- Names that read like options open as forms after "--" -----------------------
for name in --x.mc -show -reverse -style=x -platform -h; do
    printf '%s\n' '<vlayout><label>echo "$0" > /dev/null; touch "$OUT/opened"</label></vlayout>' >"./$name"
    rm -f "$OUT"/*
    offscreen -- "$name"
    wait_until test -e "$OUT/opened" && ok "kiv -- $name opens the form" ||
        fail "kiv -- $name: $(cat "$WORK/kiv.err")"
    kill "$KIV_PID" 2>/dev/null
    exit_status "$KIV_PID"
done

# --- --print-values when kiv is ended during the build: what was built -----------
printf '%s\n' '<vlayout><text var="A" text="kept"/><label>kill $KIV_MY_PID; sleep 1000</label></vlayout>' >values.mc
values=$(QT_QPA_PLATFORM=offscreen timeout -k 5 "$KIV_TEST_WAIT" "$KIV" --print-values values.mc 2>/dev/null)
rc=$?
[ "$rc" = 143 ] && grep -qx "A='kept'" <<<"$values" && ok "values printed on SIGTERM during the build" ||
    fail "--print-values during the build: status $rc, printed: $values"

# --- A lost display ends kiv and the command's group -------------------------------
x11_begin
rm -f "$OUT"/*
(exec "$KIV" busy.mc) >"$WORK/kiv.out" 2>&1 &
KIV_PID=$!
x11_track "$KIV_PID"
if started leader "lost display"; then
    leader=$(<"$OUT/leader")
    x11_track_group "$leader"
    kill -KILL "$_x11_xvfb"
    exit_status "$KIV_PID"
    wait_until group_gone "$leader" && ok "a lost display (status $REPLY) leaves nothing of the group" ||
        { fail "the display's end left group $leader running"; kill -KILL -- "-$leader"; }
fi
finish
