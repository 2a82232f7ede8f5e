#!/usr/bin/env bash
# Builds the system (Release), prepares a demonstration installation if there is none and
# opens the administrator console on it. Without a display it runs a headless demonstration.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARKEL_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j2
scripts/demo-install.sh build-release/bin demo
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the administrator console on the demonstration installation (demo/admin)"
  cd demo/admin
  XDG_CONFIG_HOME="$(realpath ../config)" exec ../../build-release/bin/VrkWinAdmin
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): a headless demonstration instead."
scripts/demo-engine.sh build-release/bin demo/engine
scripts/demo-console.sh build-release/bin demo
