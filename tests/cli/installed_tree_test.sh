#!/usr/bin/env bash
# Installs the build into a scratch prefix and uses only the installed tree: a
# small C program built with pkg-config talks to the installed emulated board,
# and the installed tolvane2-cli reads and writes it (with a progress bar only
# when standard error is a terminal).
#   installed_tree_test.sh BUILD_DIR SANITIZERS C_COMPILER
set -euo pipefail
build=$1
sanitize=${2:-}
cc=${3:-cc}

tmp=$(mktemp -d)
board_pid=
cleanup() {
  [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# What a third party gets: a versioned library, its header, pkg-config, the man page.
libdir=$(dirname "$(find "$prefix" -name 'libvantrel.so.1' | head -n1)")
[ -n "$libdir" ] || fail "libvantrel.so.1 not installed"
[ -L "$libdir/libvantrel.so" ] || fail "no development link libvantrel.so"
objdump -p "$libdir/libvantrel.so.1" | grep -q 'SONAME *libvantrel.so.1' || fail "SONAME is not libvantrel.so.1"
[ -f "$prefix/include/vantrel.h" ] || fail "vantrel.h not installed"
# Exactly the exports of the module definition, no more and no fewer.
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
diff <(awk '/@[0-9]/{print $1}' "$source_dir/link/vantrel.def" | sort) \
     <(nm -D --defined-only "$libdir/libvantrel.so.1" | awk '$2 == "T" {sub(/@.*/, "", $3); print $3}' | sort) \
  || fail "libvantrel.so.1 does not export exactly the names of vantrel.def"
[ -f "$prefix/share/man/man1/tolvane2-cli.1" ] || fail "man page not installed"
for program in tolvane2-cli vantrel-board; do
  [ -x "$prefix/bin/$program" ] || fail "$program not installed"
done

export PKG_CONFIG_PATH=$libdir/pkgconfig
pkg-config --exists vantrel || fail "pkg-config does not find vantrel"
cat > "$tmp/hello_board.c" <<'C'
#include <stdio.h>
#include <vantrel.h>

int main(void)
{
    uint8_t first = 0, second = 0;
    uint8_t image[64];
    if (!OpenSerialCommunication(1, 57600))
        return 3;
    int rc = Vantrel_ProbeDevice(0, 100, &first, &second);
    if (rc == 0)
        rc = Vantrel_Version(0, &first, &second);
    if (rc == 0)
        rc = Vantrel_GetPanelData(0, 0, image);
    CloseSerialCommunication();
    if (rc != 0)
        return 4;
    printf("version %u.%u, panel 1 \"%.16s\"\n", first, second, (const char *)image + 4);
    return 0;
}
C
flags=()
[ -n "$sanitize" ] && flags+=("-fsanitize=$sanitize")
# shellcheck disable=SC2046
"$cc" "${flags[@]}" -o "$tmp/hello_board" "$tmp/hello_board.c" $(pkg-config --cflags --libs vantrel) \
  -Wl,-rpath,"$libdir" || fail "the C program does not build against the installed tree"

"$prefix/bin/vantrel-board" --link "$tmp/COM1" > "$tmp/board.out" &
board_pid=$!
for _ in $(seq 50); do [ -e "$tmp/COM1" ] && break; sleep 0.1; done
[ -e "$tmp/COM1" ] || fail "the installed vantrel-board did not start"

out=$(VANTREL_COM1=$tmp/COM1 "$tmp/hello_board") || fail "the C program could not talk to the board"
[ "$out" = 'version 2.1, panel 1 "LQ150X1DG11"' ] || fail "unexpected answer: $out"

cli=$prefix/bin/tolvane2-cli
"$cli" --device "$tmp/COM1" panel read 1 -o "$tmp/p1.PNL" 2> "$tmp/err"
grep -q '\[###' "$tmp/err" && fail "progress bar drawn although stderr is no terminal"
"$cli" --device "$tmp/COM1" panel write "$tmp/p1.PNL" 3 --verify 2>"$tmp/err" || fail "write with verify failed: $(cat "$tmp/err")"
if command -v script >/dev/null; then
  script -qec "'$cli' --device '$tmp/COM1' modes read -o '$tmp/m.MOD'" /dev/null > "$tmp/tty" 2>&1
  grep -q 'read mode table \[#' "$tmp/tty" || fail "no progress bar on a terminal: $(cat "$tmp/tty")"
  script -qec "'$cli' --quiet --device '$tmp/COM1' modes read -o '$tmp/m.MOD'" /dev/null > "$tmp/tty" 2>&1
  [ -s "$tmp/tty" ] && fail "--quiet still printed: $(cat "$tmp/tty")"
fi
status=0
"$cli" frobnicate 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "a usage error gave exit status $status, not 2"
echo "installed tree OK"
