#!/usr/bin/env bash
# Builds everything and runs every test: a normal build, then one with ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

build() {  # build folder, extra CMake options...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j2
  ctest --test-dir "$dir" -j2 --output-on-failure --timeout 300
}

build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARKEL_SANITIZE=ON
