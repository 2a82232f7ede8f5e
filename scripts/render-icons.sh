#!/usr/bin/env bash
# Draws the PNG sizes of the program icons from their SVG pictures into packaging/icons/.
# Run it after changing an SVG and commit the pictures (the build does not need the tool).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2; exit 1; }
for svg in *.svg; do
  for size in 16 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "${size}x${size}/${svg%.svg}.png"
  done
done
