#!/usr/bin/env bash
# A headless check of the administrator console on the demonstration installation: the
# console starts offscreen, sets the cipher up from N:\key.dat (its scratch files appear in
# its working folder), and on a request to end closes in order, destroying them.
#   scripts/demo-console.sh BIN-FOLDER DEMO-FOLDER
set -euo pipefail
bin=$(realpath "$1")
demo=$(realpath "$2")
say() { printf '\n== %s\n' "$*"; }
cd "$demo/admin"

say "Administrator console, headless, in $(pwd)"
echo "   network.dat: $(tr -d '\r' < network.dat)   N: = $(awk '/^N:/ {print $2}' "$demo/config/varkel/drives")"
echo "   Files.dat lists $(grep -c . "$demo/share/Files.dat") documents; Keys.dat holds $(grep -c . Keys.dat) keys"
XDG_CONFIG_HOME="$demo/config" QT_QPA_PLATFORM=offscreen "$bin/VrkWinAdmin" 2>/dev/null &
pid=$!
for _ in $(seq 50); do [ -f k1.bin ] && break; sleep 0.2; done
if ! kill -0 "$pid" 2>/dev/null; then
  echo "   the console ended on its own: FAILED"
  exit 1
fi
if [ -f k1.bin ]; then
  echo "   console running (pid $pid); key set up from N:\\key.dat: $(ls k? k?.* 2>/dev/null | tr '\n' ' ')"
else
  echo "   console running, but no key was set up: FAILED"
fi
sleep 1
say "Asking the console to end (SIGTERM): it shuts the library down on its way out"
kill -TERM "$pid"
wait "$pid" && status=0 || status=$?
left=$(ls k? k?.* 2>/dev/null || true)
echo "   exit status $status; scratch files left: ${left:-none}"
[ "$status" -eq 0 ] && [ -z "$left" ]
