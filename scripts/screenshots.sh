#!/usr/bin/env bash
# Starts the editor's windows one after the other under Xvfb and saves a PNG
# of each into docs/screenshots/ (main window, configuration dialog, sheets,
# mode table dialog, help boxes and every window registered by
# tests/editor/screenshots/shots_*.cpp).
#   scripts/screenshots.sh                 every window
#   scripts/screenshots.sh main_window ... only the named ones
# BUILD_DIR picks the build folder (default build/screenshots, no sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=${BUILD_DIR:-build/screenshots}
out=${SCREENSHOT_DIR:-docs/screenshots}
# An existing build folder is used as it is configured.
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tolvane_screenshots -j "${JOBS:-2}"

mkdir -p "$out"
# A sanitizer build would report leaks of the X libraries; they are not ours.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  "$build/tests/editor/tolvane_screenshots" "$out" "$@"
