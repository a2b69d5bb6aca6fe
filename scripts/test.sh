#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   build/asan  everything with AddressSanitizer and UndefinedBehaviorSanitizer
#   build/tsan  the link library and its tests with ThreadSanitizer
#   build/win64 the link library and the model cross-compiled for Windows (does it build)
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

# A release build, packaged: the Debian package must build.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_EDITOR=ON >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && cpack -G DEB >/dev/null && ls -1 ./*.deb)

cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTOLVANE_BUILD_EDITOR=OFF >/dev/null
cmake --build build/win64 -j "$jobs" --target vantrel vantrel-demo vantrel-check tolvane_model windows-zip cli_file_cases
# The Windows download under Wine against the release build's emulated board.
tests/windows/wine_test.sh build/win64 build/release
ls -1 build/win64/tolvane2-*-windows-x64.zip
