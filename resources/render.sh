#!/usr/bin/env bash
# Regenerates the bitmap artwork from heart.svg and icon.svg.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
# Output is deterministic: metadata and timestamps are stripped.
#
#   render.sh --hicolor DIR NAME   renders only the desktop icon into the hicolor theme layout
#                                  under DIR (DIR/16x16/apps/NAME.png ... 256x256, and the SVG
#                                  as DIR/scalable/apps/NAME.svg); the build runs this, with
#                                  rsvg-convert alone.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

if [[ "${1:-}" == "--hicolor" ]]; then
    out=$2
    name=$3
    for size in 16 22 24 32 48 64 128 256; do
        mkdir -p "$out/${size}x${size}/apps"
        rsvg-convert --width "$size" --height "$size" --format png \
            --output "$out/${size}x${size}/apps/$name.png" "$here/icon.svg"
    done
    mkdir -p "$out/scalable/apps"
    cp "$here/icon.svg" "$out/scalable/apps/$name.svg"
    exit 0
fi

cd "$here"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Hearts: rasterise at the final size, flatten onto white, save as JPEG.
for size in 24 64; do
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "$tmp/heart$size.png" heart.svg
    convert "$tmp/heart$size.png" -background white -alpha remove -alpha off \
        -strip -sampling-factor 4:4:4 -quality 92 "heart$size.jpg"
done

# Icon: 100x100, reduced to a 256-colour palette.
rsvg-convert --width 100 --height 100 --format png --output "$tmp/icon.png" icon.svg
convert "$tmp/icon.png" -background black -alpha remove -alpha off \
    +dither -colors 256 -strip -define png:exclude-chunks=date,time \
    PNG8:icon.png
# The Windows icon holds the same 256-colour picture.
convert icon.png -type Palette -strip icon.ico

echo "rendered: heart24.jpg heart64.jpg icon.png icon.ico"
