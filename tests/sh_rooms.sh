#!/bin/bash
# The rooms of src/ include one way, from the top down: an include of a room
# above is caught here even when it needs nothing at link time (a header-only slip).
# Usage: sh_rooms.sh KIV_BINARY SOURCE_DIR
set -u
SRC=$(realpath "$2")
rooms=(markup shell widgets builder app) # bottom to top
failures=0

# Prints every include in tree that points at a room above the including file's.
upward_includes() {
    local tree=$1 i j
    for ((i = 0; i < ${#rooms[@]}; i++)); do
        [ -d "$tree/${rooms[i]}" ] || continue
        for ((j = i + 1; j < ${#rooms[@]}; j++)); do
            grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]${rooms[j]}/" "$tree/${rooms[i]}"
        done
    done
}

found=$(upward_includes "$SRC/src")
if [ -z "$found" ]; then
    echo "ok: src/ includes one way"
else
    echo "FAIL: includes against the rooms' order:"$'\n'"$found"
    failures=$((failures + 1))
fi

# The check must see each kind of slip: one planted include per row.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
while read -r room line; do
    rm -rf "$work/src"
    mkdir -p "$work/src/$room"
    printf '#include "%s/Other.h"\n%s\n' "$room" "$line" >"$work/src/$room/Planted.h"
    if [ -n "$(upward_includes "$work/src")" ]; then
        echo "ok: caught in $room: $line"
    else
        echo "FAIL: not caught in $room: $line"
        failures=$((failures + 1))
    fi
done <<'ROWS'
markup #include "shell/MEnvVar.h"
markup #include <app/frmMain.h>
shell   #  include "widgets/MButton.h"
widgets #include "builder/Builders.h"
builder #include "app/CommandLine.h"
ROWS
# ... and leave alone what goes down or stays in the room.
mkdir -p "$work/src/app" "$work/src/widgets"
printf '#include "markup/Element.h"\n#include "shell/MEnvVar.h"\n' >"$work/src/widgets/Down.h"
printf '#include "builder/FormChecker.h"\n#include "app/frmMain.h"\n' >"$work/src/app/Down.h"
rm -rf "$work/src/markup" "$work/src/shell" "$work/src/builder"
if [ -z "$(upward_includes "$work/src")" ]; then
    echo "ok: includes downward pass"
else
    echo "FAIL: downward includes reported"
    failures=$((failures + 1))
fi
exit $((failures > 0))
