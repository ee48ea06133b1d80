#!/usr/bin/env bash
# Renders the scalable icon into the 48x48 PNG that is installed beside it. Run it after editing the
# SVG and commit both files. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
svg=$here/icons/edu.talvora.Talvora.svg
png=$here/icons/48x48/edu.talvora.Talvora.png
mkdir -p "$(dirname "$png")"
rsvg-convert --width 48 --height 48 --format png --output "$png" "$svg"
echo "wrote $png"
