#!/usr/bin/env bash
# Draws the launcher window offscreen on a small sample installation and saves it as
#   docs/screenshots/launcher.png
#   scripts/screenshot-launcher.sh [BIN]   (default: build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/bin}")
out=$(pwd)/docs/screenshots/launcher.png
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config/varkel" "$scratch/share/Docs" "$scratch/user" "$(dirname "$out")"
printf 'N: %s\n' "$scratch/share" > "$scratch/config/varkel/drives"
printf 'N:\\\r\n' > "$scratch/user/network.dat"
printf '4711815162342\r\n' > "$scratch/share/key.dat"
printf 'Editor:C:\\usr\\bin\\mousepad\r\nConsole:C:\\usr\\bin\\xterm -e nano\r\nOpen:C:\\usr\\bin\\xdg-open\r\n' > "$scratch/share/apps.dat"
for f in budget-2024.xls minutes.doc offer.txt; do printf 'sample' > "$scratch/share/Docs/$f"; done
cd "$scratch/user"
XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=offscreen "$bin/vrkwin-screenshot" "$out" 'N:\Docs' 2>/dev/null
echo "saved $out"
