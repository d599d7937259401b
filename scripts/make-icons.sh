#!/usr/bin/env bash
# Renders the PNG icons from packaging/desktop/pemblor.svg (rsvg-convert, from
# librsvg2-bin); run after changing the drawing and commit the PNGs with it.
set -euo pipefail
cd "$(dirname "$0")/../packaging/desktop"
for size in 48 256; do
  rsvg-convert --width "$size" --height "$size" --output "pemblor-$size.png" pemblor.svg
done
