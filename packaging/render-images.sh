#!/usr/bin/env bash
# Renders the committed pictures from their SVG sources: the program's icon at
# every size the icon theme gets, and the About box's picture. Run it after
# editing packaging/icons/korvanta.svg or data/images/About.svg and commit the
# PNGs. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v rsvg-convert >/dev/null; then
    echo "render-images: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
    exit 1
fi
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" packaging/icons/korvanta.svg \
        -o "packaging/icons/korvanta-$size.png"
done
rsvg-convert -w 480 -h 240 data/images/About.svg -o data/images/About.png
echo "render-images: icons and About.png rendered"
