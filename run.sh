#!/usr/bin/env bash
# Builds the system (Release) and runs it on a demonstration working folder.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARKEL_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j2
scripts/demo-engine.sh build-release/bin demo/engine
