#!/usr/bin/env bash
# Installs what is missing, builds, starts the emulated board on a
# pseudo-terminal and points COM1 at it; then starts the editor (without a
# display: the command-line demo against the board). The editor keeps its
# Tolvane2.cfg in the folder it was started from (here: the checkout).
#   scripts/run.sh            editor (or demo) against the emulated board
#   scripts/run.sh --demo     the command-line demo only
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target vantrel-board vantrel-demo \
  $(grep -q "^TOLVANE_BUILD_EDITOR:BOOL=ON" build/release/CMakeCache.txt && echo Tolvane2)

state=$(mktemp -d "${TMPDIR:-/tmp}/vantrel.XXXXXX")
link="$state/COM1"
flash="$PWD/build/release/board-flash.bin"   # the board keeps its flash between runs
build/release/tools/board-emulator/vantrel-board --link "$link" --flash-file "$flash" > "$state/board.out" &
board=$!
trap 'kill $board 2>/dev/null; wait $board 2>/dev/null; rm -rf "$state"' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "Emulated board on $(head -n1 "$state/board.out") (COM1 = $link)"
export VANTREL_COM1="$link"

editor=build/release/editor/app/Tolvane2
if [ "${1:-}" != "--demo" ] && [ -x "$editor" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$editor" || true
else
  [ "${1:-}" = "--demo" ] || [ ! -x "$editor" ] || echo "No display: running the command-line demo instead of the editor."
  build/release/tools/demo/vantrel-demo 1 0
fi
