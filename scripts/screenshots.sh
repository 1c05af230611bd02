#!/usr/bin/env bash
# Regenerates the pictures of the author's guide: every docs/examples/NAME.mc is opened
# with kiv on a private Xvfb display, driven by the xdotool steps in NAME.keys when
# there is one (one xdotool command per line, e.g. "type 'Ada'" or "key Tab space";
# $wid names the form's window),
# and its window is saved as docs/images/NAME.png.
# Usage: scripts/screenshots.sh [KIV_BINARY [NAME...]]     (default build/kiv, every example)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
kiv=$(realpath "${1:-build/kiv}")
[ $# -gt 0 ] && shift
[ -x "$kiv" ] || { echo "no kiv binary at $kiv: build it first" >&2; exit 1; }
for tool in Xvfb xdotool xdpyinfo import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh test installs it)" >&2; exit 1; }
done

if [ $# -gt 0 ]; then
    names=("$@")
else
    names=()
    for mc in docs/examples/*.mc; do names+=("$(basename "$mc" .mc)"); done
fi

work=$(mktemp -d)
xvfb_pid=
kiv_pid=
cleanup() {
    [ -n "$kiv_pid" ] && kill "$kiv_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display number of our own, so parallel runs of other scripts are not disturbed.
display=$((200 + $$ % 500))
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    xdpyinfo -display ":$display" >/dev/null 2>&1 && break
    sleep 0.1
done
xdpyinfo -display ":$display" >/dev/null 2>&1 || { cat "$work/xvfb.log"; echo "Xvfb did not start" >&2; exit 1; }

export DISPLAY=":$display" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The forms run in a scratch directory that holds the pictures they name, so the
# pictures come out the same whether or not kiv's data directory is installed.
forms=$work/forms
mkdir "$forms"
[ -f data/icona.png ] && cp data/icona.png "$forms/"
adwaita=/usr/share/icons/Adwaita/48x48
for pair in folder:folder terminal:utilities-terminal text:text-x-generic image:image-x-generic; do
    picture=$(find "$adwaita" -name "${pair#*:}.png" 2>/dev/null | head -n 1)
    [ -n "$picture" ] && ln -sf "$picture" "$forms/${pair%%:*}.png"
done

mkdir -p docs/images
status=0
for name in "${names[@]}"; do
    mc=$repo/docs/examples/$name.mc
    [ -f "$mc" ] || { echo "no $mc" >&2; status=1; continue; }
    (cd "$forms" && exec "$kiv" "$mc" </dev/null >"$work/$name.log" 2>&1) &
    kiv_pid=$!
    if ! wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$kiv_pid" 2>/dev/null | head -n 1) \
            || [ -z "$wid" ]; then
        echo "$name: no window appeared" >&2
        cat "$work/$name.log" >&2
        status=1
    else
        sleep 1  # let the first paint finish
        if [ -f "$repo/docs/examples/$name.keys" ]; then
            xdotool windowfocus --sync "$wid"
            while IFS= read -r step; do
                [ -n "$step" ] || continue
                eval "xdotool $step"
                sleep 0.4
            done <"$repo/docs/examples/$name.keys"
            sleep 1  # a button's command has run; let the text log repaint
        fi
        # No time stamps in the file: a picture that looks the same stays byte for byte the same.
        import -window "$wid" miff:- | convert miff:- -strip -define png:exclude-chunks=date,time \
            "docs/images/$name.png"
        echo "docs/images/$name.png"
    fi
    kill "$kiv_pid" 2>/dev/null || true
    wait "$kiv_pid" 2>/dev/null || true
    kiv_pid=
done
exit $status
