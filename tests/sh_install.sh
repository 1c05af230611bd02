#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks what a user would get: the binary,
# the manual page, a valid desktop entry, the mc mime type with kiv as its handler, the
# data directory and the example forms. Needs no root.
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
man=$share/man/man1/kiv.1
if [ -f "$man" ]; then
    grep -n '@[A-Za-z_]*@' "$man" && fail "kiv.1 still holds unfilled @...@ words"
    grep -q -- "$datadir/icona.png" "$man" || fail "kiv.1 does not name the default icon $datadir/icona.png"
    grep -q -- "$datadir/icons/" "$man" || fail "kiv.1 does not name the icons directory $datadir/icons/"
    warnings=$(groff -man -ww -z "$man" 2>&1)
    [ -z "$warnings" ] || fail "groff finds faults in kiv.1: $warnings"
    text=$(MANWIDTH=200 man -l "$man" 2>/dev/null | col -b)
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
declare -A known
for name in button label checkbox combobox iconlist global text textbox file textlog tab hlayout vlayout \
            scrolllayout img config icon title code var src href mode filter align width height onclick \
            ondoubleclick iconwidth iconheight; do
    known[$name]=1
done
shopt -s nullglob
examples=("$src"/examples/*.mc)
[ ${#examples[@]} -gt 0 ] || fail "no example forms in $src/examples"
for mc in "${examples[@]}"; do
    name=$(basename "$mc")
    cmp -s "$mc" "$docdir/examples/$name" || fail "example $name is not installed"
    grep -q "$name" "$src/examples/README.md" 2>/dev/null || fail "examples/README.md does not list $name"
    # A misspelt tag is silently ignored by kiv, so catch it here. Text inside double
    # quotes is skipped, as the reader skips it.
    for tag in $(tr '\n' ' ' <"$mc" | sed 's/"[^"]*"//g' | grep -o '<[/]\?[A-Za-z][A-Za-z0-9_-]*' | tr -d '</' | sort -u); do
        [ -n "${known[$tag]:-}" ] || fail "example $name uses the unknown element <$tag>"
    done
done
# The real reader decides whether a form builds: a broken file ends at once with status 1
# and a message, a good one keeps its window open until the time-out. All at once, to
# keep the test short.
for mc in "${examples[@]}"; do
    name=$(basename "$mc" .mc)
    (cd "$tmp" && QT_QPA_PLATFORM=offscreen timeout 10 "$kiv_built" "$mc" </dev/null >"$tmp/$name.out" 2>&1
     echo $? >"$tmp/$name.status") &
done
wait
for mc in "${examples[@]}"; do
    name=$(basename "$mc" .mc)
    status=$(cat "$tmp/$name.status")
    [ "$status" = 124 ] || fail "kiv $name.mc ended with status $status: $(head -c 500 "$tmp/$name.out")"
done

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install layout: all checks passed"
