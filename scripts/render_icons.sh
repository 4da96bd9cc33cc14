#!/usr/bin/env bash
# Draws the program's icon (app/desktop/tavrine.svg) once per size of the
# hicolor theme into app/desktop/icons/hicolor/SIZE.png, which are committed
# and installed; run again after the SVG changes. Needs rsvg-convert
# (librsvg2-bin) and, for smaller files, optipng.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=app/desktop/icons/hicolor
mkdir -p "$OUT"
for size in 16 22 24 32 48 64 128 256 512; do
    rsvg-convert -w "$size" -h "$size" app/desktop/tavrine.svg -o "$OUT/$size.png"
    if command -v optipng >/dev/null; then optipng -quiet -o5 "$OUT/$size.png"; fi
done
ls -l "$OUT"
