#!/usr/bin/env bash
# icons.sh - renders the program's icon (data/icons/tarvell.svg) into the PNG sizes the package
# installs. The PNGs are committed; run this after changing the SVG.
set -euo pipefail
bash "$(dirname "$0")/install_packages.sh" librsvg2-bin
cd "$(dirname "$0")/../data/icons"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tarvell.svg -o "tarvell-$size.png"
done
