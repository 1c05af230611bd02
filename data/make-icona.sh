#!/bin/sh
# Renders the default icon from its drawing. Run from anywhere; rewrites icona.png.
set -e
cd "$(dirname "$0")"
if command -v rsvg-convert >/dev/null 2>&1; then
    rsvg-convert -w 64 -h 64 -o icona.png icona.svg
else
    convert -background none -density 96 icona.svg -resize 64x64 icona.png
fi
