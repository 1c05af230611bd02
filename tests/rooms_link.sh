#!/bin/bash
# No room's library needs a symbol that only a room above it defines: the link
# side of the rooms' order (tests/sh_rooms.sh watches the includes).
# Usage: rooms_link.sh LIBRARY... (bottom to top: markup shell widgets builder app)
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
libs=("$@")
failures=0
for ((i = 0; i < ${#libs[@]}; i++)); do
    # Strong definitions only: inline code and templates are emitted weak by every user.
    nm -g --defined-only "${libs[i]}" 2>/dev/null | awk 'NF == 3 && $2 ~ /^[TDBR]$/ {print $3}' | sort -u >"$work/def$i"
    nm -g --undefined-only "${libs[i]}" 2>/dev/null | awk '{print $NF}' | sort -u >"$work/undef$i"
done
for ((i = 0; i < ${#libs[@]}; i++)); do
    for ((j = i + 1; j < ${#libs[@]}; j++)); do
        upward=$(comm -12 "$work/undef$i" "$work/def$j")
        if [ -n "$upward" ]; then
            echo "FAIL: $(basename "${libs[i]}") needs from $(basename "${libs[j]}"):"
            c++filt <<<"$upward" | head -20
            failures=$((failures + 1))
        fi
    done
    [ -s "$work/def$i" ] || { echo "FAIL: no symbols read from ${libs[i]}"; failures=$((failures + 1)); }
done
[ $failures = 0 ] && echo "ok: ${#libs[@]} libraries link one way"
exit $((failures > 0))
