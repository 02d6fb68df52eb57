#!/usr/bin/env bash
# Renders the desktop icon (data/icons/org.example.Quendle.svg, the program's icon 128
# redrawn as SVG) to the PNG sizes of the hicolor theme, data/icons/N/org.example.Quendle.png.
# The PNGs are kept in the repository; run this only after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$size"
  rsvg-convert -w "$size" -h "$size" org.example.Quendle.svg -o "$size/org.example.Quendle.png"
done
