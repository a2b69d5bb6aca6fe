#!/usr/bin/env bash
# The Windows download under Wine, against the native emulated board:
# tolvane2-cli.exe reads and writes the board through COM1, works on files
# with non-ASCII names, names a missing port, programs two boards at once on
# COM1 and COM2 (one worker process each); a C program built
# against vantrel.lib alone binds the DLL by name and by ordinal. Then the
# time of the writes with verify and of the two-board job under Wine against
# the native tool.
#   wine_test.sh WIN64_BUILD_DIR NATIVE_BUILD_DIR
# The Wine prefix is kept in WIN64_BUILD_DIR/wineprefix (making one takes long).
set -euo pipefail
win_build=$(cd "$1" && pwd)
native_build=$(cd "$2" && pwd)

wine=${WINE:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX=$win_build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
board_program=$native_build/tools/board-emulator/vantrel-board
native_cli=$native_build/tools/cli/tolvane2-cli

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$wine" ] || fail "no $wine (apt-get install wine64)"
[ -x "$board_program" ] || fail "no native vantrel-board in $native_build"
zip=$(ls "$win_build"/tolvane2-*-windows-x64.zip 2>/dev/null | head -n1)
[ -n "$zip" ] || fail "no tolvane2-*-windows-x64.zip in $win_build (target windows-zip)"

tmp=$(mktemp -d)
board_pid=
board2_pid=
slow_pids=
ser2net_pid=
cleanup() {
  [ -n "$ser2net_pid" ] && kill "$ser2net_pid" 2>/dev/null && wait "$ser2net_pid" 2>/dev/null
  [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
  [ -n "$board2_pid" ] && kill "$board2_pid" 2>/dev/null && wait "$board2_pid" 2>/dev/null
  for pid in $slow_pids; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# What a user unpacks, and nothing from the build tree.
(cd "$tmp" && unzip -q "$zip")
pkg=$(ls -d "$tmp"/tolvane2-*-windows-x64)
for f in tolvane2-cli.exe vantrel.dll vantrel.lib vantrel.def vantrel.h vantrel-check.exe README-windows.txt; do
  [ -f "$pkg/$f" ] || fail "$f is not in $(basename "$zip")"
done
for f in tolvane2-cli.exe vantrel.dll vantrel-check.exe; do
  extra=$(x86_64-w64-mingw32-objdump -p "$pkg/$f" | awk '/DLL Name:/ {print tolower($3)}' |
          grep -vxE 'kernel32.dll|msvcrt.dll|advapi32.dll|shell32.dll|ws2_32.dll|setupapi.dll|vantrel.dll' || true)
  [ -z "$extra" ] || fail "$f needs DLLs that are not in the zip: $extra"
done

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX (once)"
  "$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
fi

"$board_program" --link "$tmp/COM1" > "$tmp/board.out" 2>&1 &
board_pid=$!
for _ in $(seq 50); do [ -e "$tmp/COM1" ] && break; sleep 0.1; done
[ -e "$tmp/COM1" ] || fail "vantrel-board did not start: $(cat "$tmp/board.out")"
"$board_program" --link "$tmp/COM2" > "$tmp/board2.out" 2>&1 &
board2_pid=$!
for _ in $(seq 50); do [ -e "$tmp/COM2" ] && break; sleep 0.1; done
[ -e "$tmp/COM2" ] || fail "the second vantrel-board did not start: $(cat "$tmp/board2.out")"

# Two slow boards (1200 baud: seconds a panel) for a Ctrl-C in the middle of a job.
slow_pids=
for port in COM5 COM6; do
  "$board_program" --link "$tmp/$port" --baud 1200 > "$tmp/board-$port.out" 2>&1 &
  slow_pids="$slow_pids $!"
  for _ in $(seq 50); do [ -e "$tmp/$port" ] && break; sleep 0.1; done
  [ -e "$tmp/$port" ] || fail "vantrel-board for $port did not start: $(cat "$tmp/board-$port.out")"
done

# COM1, COM2, COM5 and COM6 of the prefix are the boards; Wine makes its device links
# when the server starts, so it is started again after the change.
for port in COM1 COM2 COM5 COM6; do
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v $port /d "$tmp/$port" /f >/dev/null 2>&1 || fail "reg add $port failed"
done
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w
# One server for the whole test, and its services started once, with output
# that no pipe of this script waits for (they keep what they inherit).
"$wineserver" -p >/dev/null 2>&1
"$wine" "$pkg/tolvane2-cli.exe" --version >/dev/null 2>&1 || fail "tolvane2-cli.exe does not start"
cd "$tmp"
# Standard output without the line ends of Windows text mode.
cli() {
  local status=0
  "$wine" "$pkg/tolvane2-cli.exe" "$@" | tr -d '\r' || status=${PIPESTATUS[0]}
  return "$status"
}

# The board's version, and COM1 in the port list.
cli info > info.txt 2> err.txt || fail "info: $(cat err.txt)"
grep -qE '^  Version +2\.1$' info.txt || fail "info shows no version 2.1: $(cat info.txt)"
cli ports > ports.txt 2>&1 || fail "ports: $(cat ports.txt)"
grep -qF '\\.\COM1' ports.txt || fail "ports does not list COM1: $(cat ports.txt)"
grep -q 'AppData' ports.txt || fail "the ports file is not under %APPDATA%: $(cat ports.txt)"

# Read a panel, write it back with verify, into a file whose name is outside
# any ANSI code page; no progress bar when standard error is no console.
name='Pänel-面板'
cli panel read 2 -o "$name.PNL" 2> err.txt || fail "panel read: $(cat err.txt)"
[ "$(stat -c %s "$name.PNL")" = 512 ] || fail "panel read did not write $name.PNL"
grep -q '\[#' err.txt && fail "progress bar drawn although standard error is no console"
cli panel write "$name.PNL" 3 --verify --backup "old-3-$name.PNL" 2> err.txt || fail "panel write: $(cat err.txt)"
[ "$(stat -c %s "old-3-$name.PNL")" = 512 ] || fail "no backup file"
cli panel read 3 -o back.PNL 2>/dev/null || fail "panel read 3"
cmp -s "$name.PNL" back.PNL || fail "Panel 3 does not hold what was written"

# The same board behind Debian's ser2net on the loopback, named rfc2217://:
# Winsock, the telnet layer and the COM-PORT settings of the Windows build.
if command -v ser2net >/dev/null; then
  net_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf '%%YAML 1.1\n---\nconnection: &board\n  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,%s\n  connector: serialdev,%s,57600n81,local\n  options:\n    chardelay: false\n    kickolduser: true\n' \
      "$net_port" "$(readlink -f "$tmp/COM1")" > "$tmp/ser2net.yaml"
  ser2net -n -u -c "$tmp/ser2net.yaml" >/dev/null 2>&1 &
  ser2net_pid=$!
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$net_port") 2>/dev/null && break; sleep 0.1; done
  sleep 0.1
  cli --device "rfc2217://127.0.0.1:$net_port" panel read 3 -o net.PNL 2> err.txt ||
    fail "panel read through rfc2217://127.0.0.1:$net_port: $(cat err.txt)"
  cmp -s "$name.PNL" net.PNL || fail "the panel read through ser2net differs from Panel 3"
  kill "$ser2net_pid"
  wait "$ser2net_pid" 2>/dev/null || true  # ended by the signal: not a failure
  ser2net_pid=
else
  echo "ser2net is not installed: no panel read through the network under Wine"
fi
cli modes read -o "Mödes.MOD" 2>/dev/null || fail "modes read"

# show and to-json on that file, the same as the Linux tool gives.
cli show "$name.PNL" > show.txt 2> err.txt || fail "show: $(cat err.txt)"
grep -q 'NL128102AC28-01' show.txt || fail "show does not name the panel: $(head -5 show.txt)"
"$native_cli" show "$name.PNL" > show-native.txt
diff show.txt show-native.txt > /dev/null || fail "show differs from the Linux tool"
status=0
cli to-json "$name.PNL" -o "$name.json" 2> err.txt || status=$?
[ "$status" = 0 ] || fail "to-json: exit $status: $(cat err.txt)"
"$native_cli" to-json "$name.PNL" -o native.json
cmp -s "$name.json" native.json || fail "to-json differs from the Linux tool"
cli from-json "$name.json" -o "Zurück-$name.PNL" 2>/dev/null || fail "from-json"
cmp -s "$name.PNL" "Zurück-$name.PNL" || fail "to-json and from-json do not give the file back"
# Standard output carries bytes as they are: a binary file with -o - (no
# line ends of text mode) and JSON the same as the file written with -o.
"$wine" "$pkg/tolvane2-cli.exe" from-json "$name.json" -o - > stdout.PNL 2> err.txt || fail "from-json -o -: $(cat err.txt)"
cmp -s "$name.PNL" stdout.PNL || fail "from-json -o - does not give the panel file's bytes"
"$wine" "$pkg/tolvane2-cli.exe" to-json "$name.PNL" > stdout.json 2> err.txt || fail "to-json to stdout: $(cat err.txt)"
cmp -s native.json stdout.json || fail "to-json on standard output differs from the Linux tool"
# An output that names the input, spelt another way, is refused; a folder is
# no file to read.
cli from-json "$name.json" -o "./$name.json" > /dev/null 2> err.txt && fail "from-json over its own input succeeded"
grep -qF "is the input file" err.txt || fail "from-json over its own input: $(cat err.txt)"
cmp -s "$name.json" native.json || fail "from-json over its own input changed it"
mkdir folder.csv
cli gamma from-csv folder.csv -o g.GAM > /dev/null 2> err.txt && fail "gamma from-csv read a folder"
grep -qF "folder.csv: not a regular file" err.txt || fail "gamma from-csv of a folder: $(cat err.txt)"
# Messages name the file in UTF-8.
cli show "Nöt-$name.PNL" > /dev/null 2> err.txt && fail "show of a missing file succeeded"
grep -qF "Nöt-$name.PNL: no such file" err.txt || fail "message does not name the file: $(cat err.txt)"

# A missing port.
status=0
cli --port 4 info > /dev/null 2> err.txt || status=$?
[ "$status" = 1 ] || fail "info on a missing port: exit $status"
grep -q 'COM4.*does not exist' err.txt || fail "missing port: $(cat err.txt)"
# (Wine opens a COM port twice where Windows refuses the second open, so the
# busy port cannot be shown here.)

# Two boards at once, one worker process per COM port: the panel of slot 1
# into slot 2 of both, with verify, from, to and beside files with non-ASCII
# names (the worker takes the backup folder through its command line).
cli panel read 1 -o "Prog-$name.PNL" 2>/dev/null || fail "panel read 1"
cmp -s "$name.PNL" "Prog-$name.PNL" && fail "panels 1 and 2 of the factory content are the same: nothing to see"
status=0
cli program --panel "Prog-$name.PNL" --slot 2 --verify --backup-dir "Backups $name" --report "r-$name.jsonl" \
  COM1 COM2 > prog.txt 2> err.txt || status=$?
[ "$status" = 0 ] || fail "program on COM1 and COM2: exit $status: $(cat prog.txt err.txt)"
[ "$(wc -l < "r-$name.jsonl")" = 2 ] || fail "program: the report has not one line per board: $(cat "r-$name.jsonl")"
for port in COM1 COM2; do
  line=$(grep -F "\"port\":\"$port\"" "r-$name.jsonl") || fail "program: no report line for $port"
  case $line in *'"result":"ok"'*'"verify":"ok"'*) ;; *) fail "program: $port is not ok: $line" ;; esac
  "$native_cli" --device "$tmp/$port" panel read 2 -o "native-$port.PNL" 2>/dev/null || fail "native panel read on $port"
  cmp -s "Prog-$name.PNL" "native-$port.PNL" || fail "program: panel 2 of the board on $port is not what was written"
done
grep -q '^2 of 2 boards ok$' prog.txt || fail "program: no summary: $(cat prog.txt)"
[ "$(ls "Backups $name" | grep -c '^COM[12]_addr0_.*_panel2\.PNL$')" = 2 ] \
  || fail "program: no backup per board in 'Backups $name': $(ls "Backups $name")"
# A job file naming a COM port that does not exist: that line fails at open,
# the others are written; exit 1. The job file is in a folder of its own:
# its files are found beside it, its COM ports are no files.
mkdir "Jobs-$name"
printf '{"panel":"../%s","slot":2,"report":"../r-missing.jsonl","backupDir":"../Backups here",%s}\n' "$name.PNL" \
  '"lines":[{"device":"COM1"},{"device":"COM2"},{"device":"COM4"}]' > "Jobs-$name/job.json"
status=0
cli program --job "Jobs-$name/job.json" > prog.txt 2> err.txt || status=$?
[ "$status" = 1 ] || fail "program with a missing port: exit $status: $(cat prog.txt err.txt)"
grep -q '"port":"COM4".*"result":"failed".*"step":"open"' r-missing.jsonl || fail "program: COM4 did not fail at open: $(cat r-missing.jsonl)"
[ "$(grep -c '"result":"ok"' r-missing.jsonl)" = 2 ] || fail "program: COM1 and COM2 not ok beside COM4: $(cat r-missing.jsonl)"
grep -q 'COM4.*does not exist' err.txt || fail "program: the missing port is not named: $(cat err.txt)"
# The report's restore line, run by cmd, puts COM1's panel back. (Wine's cmd
# reads a batch file in the OEM code page: the backup folder's name is ASCII.)
restore=$(grep -F '"port":"COM1"' r-missing.jsonl | sed -n 's/.*"restore":"\(\([^"\\]\|\\.\)*\)".*/\1/p' |
          sed 's/\\\\/\x01/g; s/\\"/"/g; s/\x01/\\/g')
case $restore in *'"'*'Backups here'*'"'*) ;; *) fail "program: no quoted restore line for COM1: $(cat r-missing.jsonl)" ;; esac
printf '@echo off\r\n%s\r\n' "$restore" > restore.bat
(cd "$pkg" && "$wine" cmd /c "Z:$(echo "$tmp/restore.bat" | tr / '\\')") > /dev/null 2> err.txt \
  || fail "the restore line failed: $restore: $(cat err.txt)"
"$native_cli" --device "$tmp/COM1" panel read 2 -o restored.PNL 2>/dev/null || fail "native panel read after the restore"
cmp -s "Prog-$name.PNL" restored.PNL || fail "the restore line did not put panel 2 back: $restore"

# Ctrl-C to the job alone (Wine gives the console handler a SIGINT) in the
# middle of the writes: the job passes the stop to its workers, each stops
# after the transaction on the wire, and every board is reported interrupted.
"$wine" "$pkg/tolvane2-cli.exe" program --panel "$name.PNL" --slot 4 --verify --report r-stop.jsonl COM5 COM6 \
  > prog.txt 2> err.txt &
job_pid=$!
for _ in $(seq 100); do
  [ "$(grep -c ' address 0: write' err.txt)" = 2 ] && break
  sleep 0.05
done
grep -q 'COM6 address 0: write' err.txt || fail "program on the slow boards did not reach the write: $(cat err.txt)"
kill -INT "$job_pid"
status=0
wait "$job_pid" || status=$?
[ "$status" = 1 ] || fail "program after Ctrl-C: exit $status: $(cat err.txt)"
grep -q '^Stopping:' err.txt || fail "program did not take the Ctrl-C: $(cat err.txt)"
[ "$(grep -c '"result":"interrupted".*"state":"half-written"' r-stop.jsonl)" = 2 ] \
  || fail "program after Ctrl-C: the boards are not reported half-written: $(cat r-stop.jsonl)"

# The command line's own cases for the file commands and plots, built for Windows.
cases=$win_build/tests/windows/cli_file_cases.exe
if [ -f "$cases" ]; then
  cp "$cases" "$pkg/"
  "$wine" "$pkg/cli_file_cases.exe" --gtest_brief=1 > cases.txt 2>&1 || fail "file cases under Wine: $(tail -30 cases.txt)"
else
  echo "note: no $cases (target cli_file_cases), its cases are not run under Wine"
fi

# A C program built with the import library alone (no vantrel.dll on the link line).
cat > hello.c <<'C'
#include <stdio.h>
#include <windows.h>
#include <vantrel.h>

int main(void)
{
    uint8_t major = 0, minor = 0;
    if (!OpenSerialCommunication(1, 57600))
        return 3;
    int rc = Vantrel_Version(0, &major, &minor);
    /* Ordinal 6 of vantrel.def is Vantrel_Version. */
    FARPROC byOrdinal = GetProcAddress(GetModuleHandleA("vantrel.dll"), MAKEINTRESOURCEA(6));
    FARPROC byName = GetProcAddress(GetModuleHandleA("vantrel.dll"), "Vantrel_Version");
    CloseSerialCommunication();
    if (rc != 0)
        return 4;
    if (byOrdinal == NULL || byOrdinal != byName || byName != (FARPROC)(void (*)(void))&Vantrel_Version)
        return 5;
    printf("version %u.%u\n", major, minor);
    return 0;
}
C
x86_64-w64-mingw32-gcc -Wall -Wextra -Werror -I"$pkg" -o "$pkg/hello.exe" hello.c "$pkg/vantrel.lib" \
  || fail "the C program does not build against vantrel.lib"
out=$("$wine" "$pkg/hello.exe" 2>&1) || fail "the C program failed (exit $?): $out"
[ "$(echo "$out" | tr -d '\r')" = "version 2.1" ] || fail "the C program printed: $out"

# Writes with verify: Wine against the native tool, same board, same baud.
cp "$name.PNL" p.PNL
cp "Mödes.MOD" m.MOD
# The faster of two runs each: the machine may be busy with other work.
milliseconds() {
  local best= t0 t1 ms
  for _ in 1 2; do
    t0=$(date +%s%N); "$@" > /dev/null 2>&1 || fail "$*"; t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
start_wine=$(milliseconds cli --version)
pw_wine=$(milliseconds cli panel write p.PNL 3 --verify)
pw_native=$(milliseconds "$native_cli" --device "$tmp/COM1" panel write p.PNL 3 --verify)
mw_wine=$(milliseconds cli modes write m.MOD --verify)
mw_native=$(milliseconds "$native_cli" --device "$tmp/COM1" modes write m.MOD --verify)
job_wine=$(milliseconds cli program --panel p.PNL --slot 2 --verify COM1 COM2)
job_native=$(milliseconds "$native_cli" program --panel p.PNL --slot 2 --verify "$tmp/COM1" "$tmp/COM2")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "Wine start of tolvane2-cli.exe --version: ${start_wine} ms"
echo "panel write --verify: Wine ${pw_wine} ms, Linux ${pw_native} ms, ratio $(ratio "$pw_wine" "$pw_native")"
echo "modes write --verify: Wine ${mw_wine} ms, Linux ${mw_native} ms, ratio $(ratio "$mw_wine" "$mw_native")"
echo "program, two boards, --verify: Wine ${job_wine} ms, Linux ${job_native} ms, ratio $(ratio "$job_wine" "$job_native")"
echo "Windows download under Wine OK"
