#!/usr/bin/env bash
# Regenerates the README's picture, docs/main-window.png, from the program's own window
# code (tests/support/screenshot_main.cpp), rendered offscreen: no display needed. The
# history window's picture goes beside the build's other artifacts.
# Usage: scripts/screenshot.sh [build folder]   (the build must hold kelvory_screenshot)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
tool=$build/tests/kelvory_screenshot
[ -x "$tool" ] || { echo "no $tool: build first (make build)" >&2; exit 1; }
mkdir -p "$here/docs" "$build/artifacts"
QT_QPA_PLATFORM=offscreen "$tool" "$here/docs/main-window.png" "$build/artifacts/history-window.png"
