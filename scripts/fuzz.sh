#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (address and undefined
# behaviour sanitizers) in build/fuzz and runs each for the given number of
# seconds (default 60), starting from its seed corpus in tests/fuzz/corpus.
# New inputs go to build/fuzz/corpus/<target>, findings (crashing inputs) to
# build/fuzz/findings/<target> (kept from run to run; only this run's are
# counted). Prints executions and findings per target and
# ends with status 1 when any target found something.
#   scripts/fuzz.sh            one minute per target
#   scripts/fuzz.sh 3600       an hour per target
#   scripts/fuzz.sh 300 fuzz_json_reader fuzz_gamma_csv   five minutes for these two
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
all_targets=(fuzz_frame_parser fuzz_telnet_decoder fuzz_file_loaders fuzz_typed_numbers fuzz_json_reader fuzz_gamma_csv fuzz_edid)
# Targets may be named after the seconds: scripts/fuzz.sh 300 fuzz_json_reader
targets=("${@:2}")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DTOLVANE_SANITIZE=address,undefined -DTOLVANE_FUZZ=ON -DTOLVANE_BUILD_EDITOR=OFF \
        "${launcher[@]}" >/dev/null
fi
# The build's output is shown only when it fails.
if ! cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >"$build/build.log" 2>&1; then
  cat "$build/build.log"
  echo "fuzz.sh: the fuzz targets do not build" >&2
  exit 1
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
printf '%-20s %12s %9s %s\n' target executions findings log
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  log="$build/$target.log"
  mkdir -p "$corpus" "$findings"
  touch "$build/$target.start"
  # libFuzzer stops at its first finding; the run goes on with the next target.
  "$build/tests/fuzz/$target" "$corpus" "tests/fuzz/corpus/$target" \
      -max_total_time="$seconds" -artifact_prefix="$findings/" -print_final_stats=1 \
      >"$log" 2>&1 || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f -newer "$build/$target.start" | wc -l)
  printf '%-20s %12s %9s %s\n' "$target" "${runs:-?}" "$found" "$log"
  if [ "$found" -ne 0 ] || [ -z "$runs" ]; then
    status=1
    grep -m5 -E 'ERROR|SUMMARY|differs|loader:|typed numbers:|json reader:|gamma csv:|edid:|telnet decoder:' "$log" || tail -20 "$log"
  fi
done
exit $status
