#!/usr/bin/env bash
# A headless check of the administrator console on the demonstration installation: the
# console starts offscreen, sets the cipher up from N:\key.dat (its scratch files appear in
# its working folder), and on a request to end closes in order, destroying them.
#   scripts/demo-console.sh BIN-FOLDER DEMO-FOLDER
set -euo pipefail
scripts=$(realpath "$(dirname "$0")")
bin=$(realpath "$1")
demo=$(realpath "$2")
say() { printf '\n== %s\n' "$*"; }
cd "$demo/admin"

say "Administrator console, headless, in $(pwd)"
echo "   network.dat: $(tr -d '\r' < network.dat)   N: = $(awk '/^N:/ {print $2}' "$demo/config/varkel/drives")"
echo "   Files.dat lists $(grep -c . "$demo/share/Files.dat") documents; Keys.dat holds $(grep -c . Keys.dat) keys"
XDG_CONFIG_HOME="$demo/config" "$scripts/headless-check.sh" . "$bin/VrkWinAdmin"
