#!/usr/bin/env bash
# Measures the console and the launcher on a real network share: an SFTP server on the
# loopback address mounted twice (tests/Share/share-harness.sh, which needs root and FUSE).
# Encrypt New Folder and a conversion to a new key of DOCUMENTS files of KIB KiB, beside cp of
# the same files up to and down from the share, and the launcher's time from button to
# application started for a LAUNCHER_MIB MiB document. Prints one table.
#
#   bench/share.sh [uncached|kernel-cached|cached] [DOCUMENTS] [KIB] [LAUNCHER_MIB]
#       defaults: uncached 2000 64 10
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cache=${1:-uncached}
build=${VARKEL_BENCH_BUILD:-$src/build-bench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARKEL_BUILD_BENCH=ON -DVARKEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target share-bench VarkelSDK >/dev/null
exec "$src/tests/Share/share-harness.sh" run "$cache" "$build/share-harness" -- \
  "$build/bin/share-bench" "${2:-2000}" "${3:-64}" "${4:-10}"
