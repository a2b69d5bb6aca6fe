#!/usr/bin/env bash
# Unpacks the Debian packages of the link library and the tools into a scratch
# root (dpkg -x) and uses only what they hold: a small C program built with
# pkg-config talks to the packaged emulated board, and the packaged tolvane2-cli
# reads and writes it (with a progress bar only when standard error is a
# terminal).
#   installed_tree_test.sh BUILD_DIR SANITIZERS C_COMPILER [PACKAGE_DIR]
# Without PACKAGE_DIR the packages are made from BUILD_DIR with cpack.
set -euo pipefail
build=$(cd "$1" && pwd)
sanitize=${2:-}
cc=${3:-cc}
packages=${4:-}

tmp=$(mktemp -d)
board_pid=
cleanup() {
  [ -n "$board_pid" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ -z "$packages" ]; then
  packages=$tmp/packages
  # Only the packages used here (the editor's is not needed), quickly compressed.
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$packages" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
        -D CPACK_COMPONENTS_ALL="libvantrel1;libvantrel-dev;tolvane2-tools" > "$tmp/cpack.log" 2>&1 \
    || { cat "$tmp/cpack.log" >&2; fail "cpack could not make the packages"; }
fi
package() {
  local found=("$packages/$1"_*."${2:-deb}")
  [ -f "${found[0]}" ] || fail "no package $1 in $packages"
  echo "${found[0]}"
}
lib_deb=$(package libvantrel1)
dev_deb=$(package libvantrel-dev)
tools_deb=$(package tolvane2-tools)
tools_dbgsym=$(package tolvane2-tools-dbgsym ddeb)

# What dpkg does with them: the library activates the ldconfig trigger (no
# maintainer scripts), declares its shlibs, and its users depend on it.
dpkg-deb -e "$lib_deb" "$tmp/lib-control"
grep -qx 'activate-noawait ldconfig' "$tmp/lib-control/triggers" || fail "libvantrel1 does not activate the ldconfig trigger"
grep -Eq '^libvantrel 1 libvantrel1 \(>= [^)]+\)$' "$tmp/lib-control/shlibs" || fail "libvantrel1 has no shlibs line for libvantrel.so.1"
for script in preinst postinst prerm postrm; do
  [ -e "$tmp/lib-control/$script" ] && fail "libvantrel1 has a $script script"
done
depends=$(dpkg-deb -f "$tools_deb" Depends)
[[ $depends == *"libvantrel1 (>= "* ]] || fail "tolvane2-tools does not depend on libvantrel1"
[[ $depends == *libc6* ]] || fail "tolvane2-tools lacks the dependencies of dpkg-shlibdeps"

root=$tmp/root
for deb in "$lib_deb" "$dev_deb" "$tools_deb"; do
  dpkg -x "$deb" "$root"
  name=$(dpkg-deb -f "$deb" Package)
  [ -f "$root/usr/share/doc/$name/copyright" ] || fail "$name has no copyright file"
  [ -f "$root/usr/share/doc/$name/changelog.Debian.gz" ] || fail "$name has no changelog.Debian.gz"
done

# What a third party gets: a versioned library in the multiarch folder, its
# header, pkg-config, stripped programs with their man pages.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || "$cc" -print-multiarch)
libdir=$root/usr/lib/$multiarch
[ -f "$libdir/libvantrel.so.1" ] || fail "libvantrel.so.1 is not in /usr/lib/$multiarch"
[ -L "$libdir/libvantrel.so" ] || fail "no development link libvantrel.so"
objdump -p "$libdir/libvantrel.so.1" | grep -q 'SONAME *libvantrel.so.1' || fail "SONAME is not libvantrel.so.1"
[ -f "$root/usr/include/vantrel.h" ] || fail "vantrel.h not installed"
# Exactly the exports of the module definition, no more and no fewer.
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
diff <(awk '/@[0-9]/{print $1}' "$source_dir/link/vantrel.def" | sort) \
     <(nm -D --defined-only "$libdir/libvantrel.so.1" | awk '$2 == "T" {sub(/@.*/, "", $3); print $3}' | sort) \
  || fail "libvantrel.so.1 does not export exactly the names of vantrel.def"
dpkg-deb -c "$tools_dbgsym" > "$tmp/dbgsym.list"
for program in tolvane2-cli vantrel-board; do
  [ -x "$root/usr/bin/$program" ] || fail "$program not installed"
  gzip -t "$root/usr/share/man/man1/$program.1.gz" 2>/dev/null || fail "no compressed man page for $program"
  [[ $(file -L "$root/usr/bin/$program") == *", stripped"* ]] || fail "$program is not stripped"
  # Its debug symbols are in the -dbgsym package, under its build id.
  id=$(readelf -n "$root/usr/bin/$program" | awk '/Build ID/ {print $3}')
  grep -q "usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" "$tmp/dbgsym.list" \
    || fail "the debug symbols of $program are not in tolvane2-tools-dbgsym"
done

# The job file format that the manual page of tolvane2-cli points at, where it points.
job_doc=/usr/share/doc/tolvane2-tools/program-job.md
[ -f "$root$job_doc" ] || fail "$job_doc is not installed"
cmp -s "$root$job_doc" "$source_dir/docs/program-job.md" || fail "$job_doc is not docs/program-job.md"
zcat "$root/usr/share/man/man1/tolvane2-cli.1.gz" | grep -qF "$job_doc" \
  || fail "the manual page of tolvane2-cli does not name $job_doc"

# vantrel.pc names the real prefix, so pkg-config's rules for system folders
# apply on the target system. Here the root is a scratch folder: the sysroot
# prefixes its folders, and they are kept although they name /usr.
grep -qx 'prefix=/usr' "$libdir/pkgconfig/vantrel.pc" || fail "vantrel.pc does not say prefix=/usr"
export PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root
export PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1
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
  -Wl,-rpath,"$libdir" || fail "the C program does not build against the packages"

"$root/usr/bin/vantrel-board" --link "$tmp/COM1" > "$tmp/board.out" &
board_pid=$!
for _ in $(seq 50); do [ -e "$tmp/COM1" ] && break; sleep 0.1; done
[ -e "$tmp/COM1" ] || fail "the packaged vantrel-board did not start"

out=$(VANTREL_COM1=$tmp/COM1 "$tmp/hello_board") || fail "the C program could not talk to the board"
[ "$out" = 'version 2.1, panel 1 "LQ150X1DG11"' ] || fail "unexpected answer: $out"

cli=$root/usr/bin/tolvane2-cli
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
echo "installed packages OK"
