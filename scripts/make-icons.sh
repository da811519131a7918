#!/usr/bin/env bash
# Renders the program icon (renamer/shell/resources/vantel.svg) into the PNG sizes a desktop asks
# for. The PNGs are checked in; run this after changing the SVG. Needs rsvg-convert
# (librsvg2-bin, installed by scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/../renamer/shell/resources"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" vantel.svg -o "vantel-$size.png"
done
echo "make-icons: $(ls vantel-*.png | tr '\n' ' ')"
