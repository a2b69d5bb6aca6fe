#!/usr/bin/env bash
# N emulated boards on N pseudo-terminals, for trying the program command
# without hardware: board K is the link DIR/boardK with its flash in
# DIR/flash/boardK (kept between runs), so that DIR/board* names the boards
# and nothing else. Runs until Ctrl-C, then stops them all.
#
#   scripts/emulated-line.sh N DIR [vantrel-board options for every board]
#
# Faults for one board go in BOARD<K>_OPTIONS, e.g. a board that drops an
# answer and one with a weak flash cell:
#   BOARD3_OPTIONS="--drop-answer 75" BOARD6_OPTIONS="--corrupt-store 0xF805" \
#     scripts/emulated-line.sh 8 /tmp/line --baud 57600
#   tolvane2-cli program --panel p.PNL --slot 2 --verify --backup-dir bk /tmp/line/board*
# VANTREL_BOARD names the vantrel-board program (default: the one on PATH,
# else build/release/tools/board-emulator/vantrel-board).
set -euo pipefail
if [ $# -lt 2 ] || ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -lt 1 ]; then
  sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
count=$1 dir=$2
shift 2
board=${VANTREL_BOARD:-$(command -v vantrel-board || echo "$(dirname "$0")/../build/release/tools/board-emulator/vantrel-board")}
[ -x "$board" ] || { echo "emulated-line.sh: $board not found; set VANTREL_BOARD" >&2; exit 1; }
mkdir -p "$dir/flash"
pids=()
stop() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait; }
trap stop EXIT
trap 'exit 0' INT TERM
for ((k = 1; k <= count; k++)); do
  var="BOARD${k}_OPTIONS"
  # Earlier versions kept the flash beside the link, where DIR/board* found it.
  [ -f "$dir/board$k.flash" ] && [ ! -e "$dir/flash/board$k" ] && mv "$dir/board$k.flash" "$dir/flash/board$k"
  # shellcheck disable=SC2086  # the per-board options are split into words on purpose
  "$board" --link "$dir/board$k" --flash-file "$dir/flash/board$k" "$@" ${!var:-} > /dev/null &
  pids+=($!)
done
# Each board makes its link once its terminal is up.
for ((k = 1; k <= count; k++)); do
  for _ in $(seq 100); do [ -L "$dir/board$k" ] && break; sleep 0.05; done
  [ -L "$dir/board$k" ] || { echo "emulated-line.sh: board $k did not start" >&2; exit 1; }
  echo "$dir/board$k"
done
echo "$count boards running; Ctrl-C stops them" >&2
wait
