#!/usr/bin/env bash
# Regenerates the README's pictures from the program's own window code
# (tests/support/screenshot_main.cpp), rendered offscreen: no display needed.
#   docs/main-window.png    the main window
#   docs/labels-dialog.png  the mailing labels dialog
#   docs/label-sheet.png    the top of the first sheet of those labels, as printed (poppler's pdftoppm)
#   docs/import-dialog.png  the member import dialog, its preview filled
#   docs/details-dialog.png a member's details, emergency contacts filled
#   docs/lists-dialog.png   the birthdays from 20 December to 10 January
# The history window's picture and the labels' PDF go beside the build's other artifacts.
# Usage: scripts/screenshot.sh [build folder]   (the build must hold kelvory_screenshot)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
tool=$build/tests/kelvory_screenshot
[ -x "$tool" ] || { echo "no $tool: build first (make build)" >&2; exit 1; }
command -v pdftoppm > /dev/null || { echo "pdftoppm is not installed (scripts/install-deps.sh installs it)" >&2; exit 1; }
mkdir -p "$here/docs" "$build/artifacts"
QT_QPA_PLATFORM=offscreen "$tool" "$here/docs/main-window.png" "$build/artifacts/history-window.png" \
  "$here/docs/labels-dialog.png" "$build/artifacts/labels.pdf" "$here/docs/import-dialog.png" \
  "$here/docs/details-dialog.png" "$here/docs/lists-dialog.png"
# US Letter at 80 dpi, its top five inches: the used first row and the labels after it.
pdftoppm -png -r 80 -f 1 -l 1 -x 0 -y 0 -W 680 -H 400 -singlefile "$build/artifacts/labels.pdf" "$here/docs/label-sheet"
echo "$here/docs/label-sheet.png"
