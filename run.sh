#!/usr/bin/env bash
# Builds the system (Release), prepares a demonstration installation if there is none and
# opens the administrator console and a user launcher on it. Without a display it runs a
# headless demonstration.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARKEL_BUILD_TESTS=OFF >/dev/null
# Only what the demonstration runs: the library, the two programs with their help texts, and vrk.
cmake --build build-release -j2 --target VarkelSDK VrkWinAdmin VrkWin vrk
scripts/demo-install.sh build-release/bin demo
scripts/demo-launcher.sh build-release/bin demo --prepare-only
# The applications the launcher offers: programs found on this desktop.
[ -s demo/share/apps.dat ] || cp demo/user/apps.dat.suggested demo/share/apps.dat
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  config=$(realpath demo/config)
  if [ -s demo/share/apps.dat ]; then
    echo "Opening a user launcher (demo/user): pick a document under N:\Docs and press an application button"
    (cd demo/user && XDG_CONFIG_HOME="$config" ../../build-release/bin/VrkWin &)
  else
    echo "No application for the launcher was found (install mousepad, or xterm with nano); the launcher is not opened."
  fi
  echo "Opening the administrator console on the demonstration installation (demo/admin)"
  cd demo/admin
  XDG_CONFIG_HOME="$config" exec ../../build-release/bin/VrkWinAdmin
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): a headless demonstration instead."
scripts/demo-engine.sh build-release/bin demo/engine
scripts/demo-console.sh build-release/bin demo
