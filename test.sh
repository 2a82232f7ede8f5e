#!/usr/bin/env bash
# Builds everything and runs every test: a normal build, whose Debian package is then built,
# checked and run from a scratch root; then a build with ASan and UBSan. Warnings are errors here.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

build() {  # build folder, extra CMake options...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVARKEL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2
  ctest --test-dir "$dir" -j2 --output-on-failure --timeout 300
}

# The package is made once, from the normal build: it needs the whole build installed, and it is
# one quick step (a few seconds) rather than a test beside the others.
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
scripts/package-check.sh build
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARKEL_SANITIZE=ON
# A short run of each fuzz target; a longer one: scripts/fuzz.sh SECONDS.
scripts/fuzz.sh 10
