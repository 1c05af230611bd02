#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks what a user would get: the binary,
# the manual page, a valid desktop entry, the mc mime type with kiv as its handler, the
# data directory, the guide with its pictures, and example forms that build and whose
# commands do their jobs. Needs no root.
# Usage: sh_install.sh KIV_BINARY SOURCE_DIR
set -uo pipefail

kiv_built=$(realpath "$1")
src=$(realpath "$2")
build=$(dirname "$kiv_built")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "note: $*"; }

cache=$build/CMakeCache.txt
[ -f "$cache" ] || { echo "FAIL: no CMakeCache.txt beside $kiv_built"; exit 1; }
cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache" | head -n 1; }
prefix=$(cached CMAKE_INSTALL_PREFIX)
datadir=$(cached KIV_DATA_DIR)
version=$(cached CMAKE_PROJECT_VERSION)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dest=$tmp/dest
export XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

if ! DESTDIR=$dest cmake --install "$build" >"$tmp/install.log" 2>&1; then
    cat "$tmp/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi
root=$dest$prefix
share=$root/share

# --- the program -------------------------------------------------------------------------
bin=$root/bin/kiv
if [ -x "$bin" ] && cmp -s "$bin" "$kiv_built"; then
    out=$(QT_QPA_PLATFORM=offscreen timeout 20 "$bin" --version </dev/null 2>&1)
    case $out in
        *"$version"*) ;;
        *) fail "installed kiv --version printed '$out', expected the version $version" ;;
    esac
else
    fail "$bin is missing, not executable or not the built binary"
fi

# --- manual page -------------------------------------------------------------------------
man=$share/man/man1/kiv.1.gz
if [ -f "$man" ]; then
    zcat "$man" >"$tmp/kiv.1" || fail "kiv.1.gz is not gzip-compressed"
    grep -n '@[A-Za-z_]*@' "$tmp/kiv.1" && fail "kiv.1 still holds unfilled @...@ words"
    grep -q -- "$datadir/icona.png" "$tmp/kiv.1" || fail "kiv.1 does not name the default icon $datadir/icona.png"
    grep -q -- "$datadir/icons/" "$tmp/kiv.1" || fail "kiv.1 does not name the icons directory $datadir/icons/"
    grep -qE '^\.TH KIV 1 "[0-9]{4}-[0-9]{2}-[0-9]{2}" "kiv '"$version"'"' "$tmp/kiv.1" \
        || fail "kiv.1 has no date or not version $version: $(grep '^\.TH' "$tmp/kiv.1")"
    warnings=$(groff -man -ww -z "$tmp/kiv.1" 2>&1)
    [ -z "$warnings" ] || fail "groff finds faults in kiv.1: $warnings"
    text=$(groff -man -Tascii -rLL=200n -P-c "$tmp/kiv.1" 2>/dev/null | col -b)
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" FILES; do
        grep -q "^$section" <<<"$text" || fail "kiv.1 has no $section section"
    done
    for start in 'kiv file.mc' '-show' '--version'; do
        grep -q -- "$start" <<<"$text" || fail "kiv.1 does not show the way to start '$start'"
    done
    tags=$(sed -n '/^TAGS/,/^EXIT STATUS/p' <<<"$text")
    for tag in button label checkbox combobox iconlist global text textbox file textlog tab \
               hlayout vlayout scrolllayout img config; do
        grep -qw -- "$tag" <<<"$tags" || fail "the TAGS section of kiv.1 does not describe $tag"
    done
else
    fail "no manual page at $man"
fi

# --- desktop entry and mime type ---------------------------------------------------------
desktop=$share/applications/kiv.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects kiv.desktop"
    grep -qx 'Exec=kiv %f' "$desktop" || fail "kiv.desktop does not run 'kiv %f'"
    grep -q '^MimeType=.*application/x-kiv-mc;' "$desktop" || fail "kiv.desktop does not claim application/x-kiv-mc"
else
    fail "no desktop entry at $desktop"
fi

mimexml=$share/mime/packages/kiv-mc.xml
if [ -f "$mimexml" ]; then
    # Build the databases inside the scratch tree, as the package's postinst does on /usr.
    if update-mime-database "$share/mime" 2>"$tmp/mime.log"; then
        grep -q ':application/x-kiv-mc:\*\.mc' "$share/mime/globs2" \
            || fail "the mime database maps no *.mc glob to application/x-kiv-mc"
    else
        cat "$tmp/mime.log"
        fail "update-mime-database rejects kiv-mc.xml"
    fi
    update-desktop-database "$share/applications" || fail "update-desktop-database failed"
    grep -qx 'application/x-kiv-mc=kiv.desktop;' "$share/applications/mimeinfo.cache" \
        || fail "kiv.desktop is not registered for application/x-kiv-mc"

    # Ask xdg-mime in an environment that sees only the scratch tree.
    if command -v xdg-mime >/dev/null; then
        xdg() {
            env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
                HOME="$tmp/home" XDG_DATA_HOME="$tmp/home/.local/share" XDG_CONFIG_HOME="$tmp/home/.config" \
                XDG_CONFIG_DIRS="$tmp/etc" XDG_DATA_DIRS="$share" xdg-mime "$@"
        }
        mkdir -p "$tmp/home" "$tmp/etc"
        handler=$(xdg query default application/x-kiv-mc 2>&1)
        [ "$handler" = kiv.desktop ] || fail "xdg-mime names '$handler' as the mc handler, not kiv.desktop"
        if command -v mimetype >/dev/null; then
            echo '<vlayout/>' >"$tmp/some.mc"
            type=$(xdg query filetype "$tmp/some.mc" 2>&1)
            [ "$type" = application/x-kiv-mc ] || fail "xdg-mime takes some.mc for '$type'"
        else
            note "mimetype (libfile-mimeinfo-perl) is missing: file type query not checked"
        fi
    else
        note "xdg-mime (xdg-utils) is missing: default handler not checked"
    fi
else
    fail "no mime type description at $mimexml"
fi

# --- data directory ----------------------------------------------------------------------
if [ -f "$src/data/icona.png" ]; then
    icon=$dest$datadir/icona.png
    [ -f "$icon" ] || fail "the default icon is not installed at $datadir/icona.png"
    file -b "$icon" | grep -q '^PNG image' || fail "the installed default icon is not a PNG image"
fi
while IFS= read -r path; do
    [ -e "$dest$path" ] || [ -L "$dest$path" ] || fail "$path is in the install manifest but not installed"
done < <(grep "^$datadir/" "$build/install_manifest.txt" 2>/dev/null)
# The icons directory links into the icon theme by relative paths, which hold under
# any root (a package unpacked, a DESTDIR); the build tree's staged copy, which a kiv
# run from the build tree reads, has the same pictures and the default icon.
cmp -s "$src/data/icona.png" "$build/kiv-data/icona.png" || fail "no default icon staged in $build/kiv-data"
for link in "$dest$datadir"/icons/*.png; do
    name=${link##*/}
    target=$(readlink "$link")
    case $target in
        /*) fail "icons/$name is an absolute link ($target)" ;;
        *) file -bL "$(realpath -m "$datadir/icons/$target")" | grep -q '^PNG image' \
               || fail "icons/$name leads to $target, no picture from $datadir/icons" ;;
    esac
    [ "$(realpath "$build/kiv-data/icons/$name")" = "$(realpath -m "$datadir/icons/$target")" ] \
        || fail "icons/$name is not staged in $build/kiv-data/icons as installed"
done

# --- menu icon, AppStream metadata, copyright, changelog ---------------------------------
cmp -s "$src/data/icona.svg" "$share/icons/hicolor/scalable/apps/kiv.svg" || fail "no scalable kiv.svg in hicolor"
[ "$(file -b "$share/icons/hicolor/64x64/apps/kiv.png" | cut -d, -f2)" = " 64 x 64" ] \
    || fail "no 64x64 kiv.png in hicolor"
metainfo=$share/metainfo/org.example.kiv.metainfo.xml
if [ ! -f "$metainfo" ]; then
    fail "no AppStream metadata at $metainfo"
elif command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$metainfo" >"$tmp/appstream.log" 2>&1 \
        || fail "appstreamcli rejects the metadata: $(cat "$tmp/appstream.log")"
    grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$metainfo" \
        || fail "the AppStream metadata has no release $version"
else
    note "appstreamcli (appstream) is missing: metadata not validated"
fi
grep -q '^License: ' "$share/doc/kiv/copyright" || fail "no copyright file with a licence"
zcat "$share/doc/kiv/changelog.gz" 2>/dev/null | head -n 1 | grep -q "^kiv ($version) " \
    || fail "no compressed changelog beginning with version $version"

# --- the guide ---------------------------------------------------------------------------
docdir=$share/doc/kiv
if [ -f "$docdir/guide.md" ]; then
    guide=$(<"$docdir/guide.md")
    # Every picture the guide shows is installed beside it.
    while IFS= read -r picture; do
        [ -f "$docdir/$picture" ] || fail "the guide shows $picture, which is not installed"
    done < <(grep -o '](images/[^)]*\.png)' <<<"$guide" | sed 's/^](//; s/)$//' | sort -u)
    # The forms the pictures are made of are the ones the guide prints.
    for mc in "$src"/docs/examples/*.mc; do
        name=$(basename "$mc" .mc)
        form=$(<"$mc")
        [[ $guide == *"$form"* ]] || fail "the guide does not print docs/examples/$name.mc as it is"
        [[ $guide == *"(images/$name.png)"* ]] || fail "the guide does not show images/$name.png"
    done
else
    fail "the author's guide is not installed"
fi

# --- example forms -----------------------------------------------------------------------
shopt -s nullglob
examples=("$src"/examples/*.mc)
[ ${#examples[@]} -gt 0 ] || fail "no example forms in $src/examples"
for mc in "${examples[@]}"; do
    name=$(basename "$mc")
    cmp -s "$mc" "$docdir/examples/$name" || fail "example $name is not installed"
    grep -q "$name" "$src/examples/README.md" 2>/dev/null || fail "examples/README.md does not list $name"
    # A misspelt tag or attribute is ignored by kiv: the checker, which reads the
    # tag table the builders use, names it.
    unknown=$("$kiv_built" --check "$mc" | grep -E "unknown tag|has no attribute" || true)
    [ -z "$unknown" ] || fail "example $name: $unknown"
done
# The real reader decides whether a form builds: a broken file ends at once with status 1
# and a message, a good one keeps its window open until the time-out. All at once, to
# keep the test short. --foreground: no SIGCONT right after the SIGTERM, which would
# cancel the stop that a sanitizer build's leak check at exit waits for.
for mc in "${examples[@]}"; do
    name=$(basename "$mc" .mc)
    (cd "$tmp" && QT_QPA_PLATFORM=offscreen timeout --foreground -k 30 10 "$kiv_built" "$mc" </dev/null >"$tmp/$name.out" 2>&1
     echo $? >"$tmp/$name.status") &
done
wait
for mc in "${examples[@]}"; do
    name=$(basename "$mc" .mc)
    status=$(cat "$tmp/$name.status")
    [ "$status" = 124 ] || fail "kiv $name.mc ended with status $status: $(head -c 500 "$tmp/$name.out")"
done

# --- the example forms do their jobs ------------------------------------------------------
# Each button's command is run as kiv runs it: a bash script that first assigns every
# variable in single quotes, then holds the command as written in the installed form.
run_button() {
    local form=$docdir/examples/$1 title=$2 assignment
    shift 2
    {
        echo '#!/bin/bash'
        for assignment in "$@"; do printf "%s='%s'\n" "${assignment%%=*}" "${assignment#*=}"; done
        echo
        awk -v open="<button title=\"$title\">" '
            !on && (at = index($0, open)) { on = 1; $0 = substr($0, at + length(open)) }
            on && (end = index($0, "</button>")) { print substr($0, 1, end - 1); exit }
            on' "$form"
    } >"$tmp/button.sh"
    (cd "$tmp" && bash "$tmp/button.sh" </dev/null 2>&1)
}
expect() {  # expect WHAT OUTPUT PATTERN
    grep -q -- "$3" <<<"$2" || fail "$1: expected '$3' in: $(head -c 400 <<<"$2")"
}

if [ -f "$docdir/examples/ping.mc" ]; then
    expect "ping without a host" "$(run_button ping.mc Ping HOST= COUNT=4)" 'Type a host name'
    out=$(run_button ping.mc Ping HOST=localhost COUNT=1)
    if command -v ping >/dev/null; then
        expect "ping localhost" "$out" 'Pinging localhost, 1 packet'
    else
        expect "ping localhost" "$out" 'ping is not installed'
    fi
fi

if [ -f "$docdir/examples/disk-usage.mc" ]; then
    mkdir -p "$tmp/du/small" "$tmp/du/big folder"
    head -c 3000000 /dev/urandom >"$tmp/du/big folder/data"
    echo x >"$tmp/du/small/data"
    expect "df" "$(run_button disk-usage.mc 'Free space (df)' DIR="$tmp/du")" '^Filesystem'
    expect "df without a folder" "$(run_button disk-usage.mc 'Free space (df)' DIR="$tmp/none")" 'Choose a folder first'
    out=$(run_button disk-usage.mc 'Largest entries (du)' DIR="$tmp/du" DEPTH=1 ONEFS=1)
    expect "du" "$out" "largest entries under $tmp/du"
    entries=$(sed -n "s|^[0-9.,]*[KMG]\?[[:blank:]]*$tmp/du||p" <<<"$out" | sort)
    [ "$entries" = "
/big folder
/small" ] || fail "du: expected the folder and its two subfolders; got: $out"
    [ "$(grep -n 'big folder' <<<"$out" | cut -d: -f1)" -lt "$(grep -n '/small$' <<<"$out" | cut -d: -f1)" ] \
        || fail "du: the big folder is not listed before the small one: $out"
fi

if [ -f "$docdir/examples/image-convert.mc" ] && command -v convert >/dev/null; then
    convert -size 40x30 xc:red "$tmp/photo one.png"
    out=$(run_button image-convert.mc Convert SRC="$tmp/photo one.png" DST= FMT=jpg SCALE=50% QUALITY=80 GRAY=1 STRIP=1)
    expect "convert to jpg" "$out" "Written: $tmp/photo one.jpg"
    expect "convert to jpg" "$(identify "$tmp/photo one.jpg" 2>&1)" 'JPEG 20x15 .*Gray'
    out=$(run_button image-convert.mc Convert SRC="$tmp/photo one.png" DST="$tmp/copy" FMT=webp SCALE=100% QUALITY=90 GRAY=0 STRIP=0)
    [ -f "$tmp/copy.webp" ] || fail "convert: no copy.webp from a save name without an ending: $out"
    before=$(md5sum <"$tmp/photo one.png")
    out=$(run_button image-convert.mc Convert SRC="$tmp/photo one.png" DST="$tmp/photo one.png" FMT=png SCALE=10% QUALITY=90 GRAY=0 STRIP=0)
    expect "convert onto the original" "$out" 'would replace the original'
    [ "$(md5sum <"$tmp/photo one.png")" = "$before" ] || fail "convert changed the original image"
    expect "convert with a bad quality" "$(run_button image-convert.mc Convert SRC="$tmp/photo one.png" DST= FMT=png SCALE=10% QUALITY='9 9' GRAY=0 STRIP=0)" 'must be a number'
fi

if [ -f "$docdir/examples/sysinfo.mc" ]; then
    # Every one-line label of the panel prints something, and nothing it needs is missing.
    while IFS= read -r command; do
        out=$(cd "$tmp" && bash -c "$command" </dev/null 2>&1)
        [ -n "$out" ] || fail "sysinfo: the label command prints nothing: $command"
        grep -q 'command not found' <<<"$out" && fail "sysinfo: $out"
    done < <(sed -n 's:^ *<label>\(.*\)</label>$:\1:p' "$docdir/examples/sysinfo.mc")
    for title in 'Show uname -a and uptime' 'Show memory details' 'Top processes by CPU' Interfaces Routes; do
        out=$(run_button sysinfo.mc "$title")
        [ -n "$out" ] || fail "sysinfo: the button '$title' prints nothing"
        grep -q 'command not found' <<<"$out" && fail "sysinfo: $title: $out"
    done
fi

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install layout: all checks passed"
