#!/usr/bin/env bash
# Renders the scalable icon into the 48x48 PNG that is installed beside it on Linux, and into the
# Windows icon (16 to 256 pixels) that the program's .exe carries. Run it after editing the SVG and
# commit all three files. Needs rsvg-convert (Debian package librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
svg=$here/icons/edu.talvora.Talvora.svg
png=$here/icons/48x48/edu.talvora.Talvora.png
ico=$here/windows/talvora.ico
mkdir -p "$(dirname "$png")" "$(dirname "$ico")"
rsvg-convert --width 48 --height 48 --format png --output "$png" "$svg"
echo "wrote $png"

sizes=(16 24 32 48 64 256)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
frames=()
for size in "${sizes[@]}"; do
  rsvg-convert --width "$size" --height "$size" --format png --output "$scratch/$size.png" "$svg"
  frames+=("$scratch/$size.png")
done
convert "${frames[@]}" "$ico"
echo "wrote $ico"
