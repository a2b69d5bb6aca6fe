#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   build/asan  everything with AddressSanitizer and UndefinedBehaviorSanitizer
#   build/tsan  the link library and its tests with ThreadSanitizer
#   build/release the Debian packages, checked with lintian and unpacked by the installed-tree test
#   build/win64 all but the editor cross-compiled for Windows: the zip, tested under Wine
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Qt and fontconfig keep process-lifetime caches that LeakSanitizer would report.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1

cmake -S . -B build/asan -G Ninja -DTOLVANE_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"
# A short soak: commands against the emulated board with random line faults (about 10 s).
build/asan/tools/bench/vantrel-soak --operations 150 --fault-percent 10 --quiet

# A few seconds of each fuzz target (scripts/fuzz.sh runs them as long as asked).
scripts/fuzz.sh 8

cmake -S . -B build/tsan -G Ninja -DTOLVANE_SANITIZE=thread -DTOLVANE_BUILD_EDITOR=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build/tsan --output-on-failure -L link -j "$jobs"

# The release build (the same folder and build type as scripts/run.sh, so neither
# rebuilds after the other), packaged as Debian packages that lintian must pass
# without an error or a warning (the warnings kept are overridden in the packages,
# see packaging/lintian-overrides). The installed-tree test then unpacks them.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BUILD_EDITOR=ON >/dev/null
cmake --build build/release -j "$jobs"
rm -rf build/release/packages
cpack -G DEB --config build/release/CPackConfig.cmake -B "$PWD/build/release/packages" >/dev/null
ls -1 build/release/packages/*.deb build/release/packages/*.ddeb
lintian --fail-on error,warning build/release/packages/*.deb build/release/packages/*.ddeb
bash tests/cli/installed_tree_test.sh build/release "" cc build/release/packages

cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTOLVANE_BUILD_EDITOR=OFF >/dev/null
cmake --build build/win64 -j "$jobs" --target vantrel vantrel-demo vantrel-check tolvane_model windows-zip cli_file_cases
# The Windows download under Wine against the release build's emulated board.
tests/windows/wine_test.sh build/win64 build/release
ls -1 build/win64/tolvane2-*-windows-x64.zip
