#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/Fuzz with clang and runs each for a fixed time on a copy
# of its seed corpus. Any crash, hang or sanitizer report fails the run; the input that caused
# it is left in build-fuzz/findings/TARGET/.
#
#   scripts/fuzz.sh            # 10 seconds per target (the smoke run of ./test.sh)
#   scripts/fuzz.sh 600        # a longer run: 10 minutes per target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
build="$PWD/build-fuzz"  # absolute: the targets change their current folder

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DVARKEL_FUZZ=ON -DVARKEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_targets

status=0
for corpus in tests/Fuzz/corpus/*/; do
  name=$(basename "$corpus")
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  rm -rf "$work" && mkdir -p "$work" "$findings"
  cp "$corpus"* "$work/"
  log="$build/fuzz-$name.log"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$build/bin/fuzz_$name" "$work" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "fuzz_$name: $runs runs, $coverage, corpus $(ls "$work" | wc -l) inputs"
  else
    echo "fuzz_$name: FAILED, see $log and $findings" >&2
    status=1
  fi
done
exit $status
