#!/usr/bin/env bash
# The launcher's part of the demonstration installation.
#
#   scripts/demo-launcher.sh BIN DEMO_ROOT [--prepare-only]
#
# Prepares DEMO_ROOT/user as the launcher's working folder: network.dat naming N:\ (the drive
# that the demonstration maps onto its network folder) and the user guide. Writes
# DEMO_ROOT/user/apps.dat.suggested: application lines for the network folder's apps.dat,
# naming programs that exist on this desktop. Then starts VrkWin there, unless
# --prepare-only is given or there is no display.
set -euo pipefail
bin=$(realpath "$1")
demo=$(realpath -m "$2")
user="$demo/user"
mkdir -p "$user"

# network.dat holds the network folder as the launcher sees it, with CR LF line ends.
[ -s "$user/network.dat" ] || printf 'N:\\\r\n' > "$user/network.dat"
# The user guide lies beside the programs in a build, under share in an installation.
guide="$bin/userhelp.txt"
[ -f "$guide" ] || guide="$bin/../share/varkel/help/launcher/userhelp.txt"
cp "$guide" "$user/userhelp.txt"

# Host paths become Windows-style paths on drive C:, which stands for the host root.
winpath() { printf 'C:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

apps=()
for editor in mousepad gedit kate xed featherpad leafpad; do
  if path=$(command -v "$editor"); then apps+=("Editor:$(winpath "$path")"); break; fi
done
if path=$(command -v xterm); then
  for console_editor in nano vi; do
    if command -v "$console_editor" >/dev/null; then apps+=("Console:$(winpath "$path") -e $console_editor"); break; fi
  done
fi
for viewer in xdg-open; do
  if path=$(command -v "$viewer"); then apps+=("Open:$(winpath "$path")"); fi
done
: > "$user/apps.dat.suggested"
for line in "${apps[@]}"; do printf '%s\r\n' "$line" >> "$user/apps.dat.suggested"; done
echo "Launcher working folder: $user"
echo "Suggested application list (apps.dat in the network folder):"
sed 's/\r$//; s/^/   /' "$user/apps.dat.suggested"
[ ${#apps[@]} -gt 0 ] || echo "   (no editor found: install mousepad, or xterm with nano)"

if [ "${3:-}" = "--prepare-only" ]; then exit 0; fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the launcher is not started."
  exit 0
fi
cd "$user"
exec "$bin/VrkWin"
