#!/usr/bin/env bash
# Starts one of the two programs offscreen and checks that it sets the cipher up (its scratch
# files appear in its working folder) and that, asked to end (SIGTERM), it closes in order:
# exit status 0 and no scratch file left.
#   scripts/headless-check.sh WORKING-FOLDER COMMAND [ARGS...]
# COMMAND runs in WORKING-FOLDER (or changes into it itself, as varkel-start does) and must
# exec the program, so that its process is the program's.
set -euo pipefail
work=$(realpath "$1"); shift
name="$(basename "$1")${2:+ ${*:2}}"
scratch() { (cd "$work" && ls k? k?.* 2>/dev/null) | tr '\n' ' ' || true; }
(cd "$work" && QT_QPA_PLATFORM=offscreen exec "$@" 2>/dev/null) &
pid=$!
for _ in $(seq 100); do [ -f "$work/k1.bin" ] && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if ! kill -0 "$pid" 2>/dev/null; then
  echo "   $name ended on its own: FAILED"
  exit 1
fi
if [ ! -f "$work/k1.bin" ]; then
  echo "   $name is running (pid $pid), but no key was set up: FAILED"
  kill -KILL "$pid"
  exit 1
fi
echo "   $name running (pid $pid); key set up in $work: $(scratch)"
kill -TERM "$pid"
wait "$pid" && status=0 || status=$?
left=$(scratch)
echo "   asked to end (SIGTERM): exit status $status; scratch files left: ${left:-none}"
[ "$status" -eq 0 ] && [ -z "$left" ]
