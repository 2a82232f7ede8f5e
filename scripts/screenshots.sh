#!/usr/bin/env bash
# Draws each window of the administrator console headless into docs/screenshots/*.png,
# on a fresh demonstration installation.
#   scripts/screenshots.sh [BUILD-FOLDER]      (default: build)
set -euo pipefail
repo=$(realpath "$(dirname "$0")/..")
build=$(realpath -m "${1:-$repo/build}")
cmake -S "$repo" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target VrkAdminScreenshots vrk
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$repo/scripts/demo-install.sh" "$build/bin" "$tmp/demo" >/dev/null
mkdir -p "$repo/docs/screenshots"
cd "$tmp/demo/admin"
XDG_CONFIG_HOME="$tmp/demo/config" QT_QPA_PLATFORM=offscreen \
  "$build/bin/VrkAdminScreenshots" "$repo/docs/screenshots" 2>&1 | grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR
