#!/usr/bin/env bash
# The vantrel-board program: options, slave path on stdout, the link, an
# exchange through the link, the flash file, and a clean exit on SIGTERM.
#   program_test.sh path/to/vantrel-board
set -euo pipefail
board=$1
dir=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

help=$("$board" --help)
for option in --link --address --answer-broadcast --baud --flash-file --verbose --help \
              --drop-answer --bad-checksum --alter-echo --delay-ms --delay-frame \
              --noise --noise-frame --oversize --oversize-length --corrupt-store; do
  grep -q -- "$option" <<<"$help" || fail "--help does not document $option"
done
status=0; "$board" --address 256 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "--address 256 accepted (status $status)"
status=0; "$board" --frobnicate 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "unknown option accepted"

# A flash file of the wrong size is refused and left as it was.
printf 'short' > "$dir/bad.bin"
status=0; "$board" --flash-file "$dir/bad.bin" >/dev/null 2>"$dir/err" || status=$?
[ "$status" = 1 ] || fail "bad flash file accepted"
grep -q 65536 "$dir/err" || fail "no clear message for the bad flash file"
[ "$(cat "$dir/bad.bin")" = short ] || fail "bad flash file changed"

"$board" --link "$dir/COM1" --address 3 --baud 57600 --flash-file "$dir/flash.bin" > "$dir/out" 2>"$dir/err" &
pid=$!
for _ in $(seq 100); do [ -L "$dir/COM1" ] && break; sleep 0.05; done
[ -L "$dir/COM1" ] || fail "no link"
slave=$(head -n1 "$dir/out")
[ "$(readlink "$dir/COM1")" = "$slave" ] || fail "link does not point at $slave"

# Version request to device 3: BB 03 13 02 00 00 18; the answer is BB 03 13 02 02 01 1B.
exec 3<>"$dir/COM1"
stty -F "$dir/COM1" raw -echo 2>/dev/null || true
printf '\xBB\x03\x13\x02\x00\x00\x18' >&3
answer=$(timeout 5 head -c 7 <&3 | od -An -tx1 | tr -d ' \n')
[ "$answer" = bb03130202011b ] || fail "version answer $answer"
# Flash write of two bytes at 0xFB04, then stop: the file keeps them.
printf '\xBB\x03\x07\x05\xFB\x04\x02\x5A\x51\xBB' >&3
answer=$(timeout 5 head -c 10 <&3 | od -An -tx1 | tr -d ' \n')
[ "$answer" = bb030705fb04025a51bb ] || fail "flash write echo $answer"
exec 3>&-

kill -TERM "$pid"
wait "$pid" || fail "exit status $?"
pid=""
[ ! -e "$dir/COM1" ] || fail "link left behind"
[ "$(stat -c %s "$dir/flash.bin")" = 65536 ] || fail "flash file size"
[ "$(dd if="$dir/flash.bin" bs=1 skip=$((0xFB04)) count=2 2>/dev/null)" = ZQ ] || fail "flash file content"
echo "vantrel-board program: ok"
