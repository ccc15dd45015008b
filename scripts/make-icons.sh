#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Redraws the application icon's PNG sizes for the desktop's icon theme from
# resources/icons/vandrel.svg. Run it after changing the SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v rsvg-convert > /dev/null || scripts/install-deps.sh
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" resources/icons/vandrel.svg -o "resources/icons/vandrel-$size.png"
done
