#!/usr/bin/env bash
# Brings data/translations/kiv_*.ts up to date with the window texts (tr() and
# QCoreApplication::translate) in src/; then translate what Qt Linguist or an
# editor shows as unfinished. The build compiles the .ts files (cmake/Translations.cmake).
# Usage: scripts/update-translations.sh [LANG...]   (default: every kiv_*.ts; a new
# LANG such as fr starts data/translations/kiv_fr.ts)
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
files=()
if [ $# -gt 0 ]; then
    for lang in "$@"; do files+=("data/translations/kiv_$lang.ts"); done
else
    files=(data/translations/kiv_*.ts)
fi
"$lupdate" -silent -no-obsolete -locations none src -ts "${files[@]}"
