#!/bin/sh
# Renders the hand-drawn SVG sources in icons/svg/ to the PNG files in
# icons/img/ that the application embeds. The PNGs are kept in the
# repository, so the build itself never needs rsvg-convert; run this script
# again after editing an SVG and keep the regenerated PNGs.
#
#   usage: sh resources/render-icons.sh        (from any directory)
#   needs: rsvg-convert (Debian package librsvg2-bin)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
src="$here/icons/svg"
out="$here/icons/img"

if ! command -v rsvg-convert >/dev/null 2>&1; then
    echo "render-icons.sh: rsvg-convert not found (apt-get install librsvg2-bin)" >&2
    exit 1
fi

mkdir -p "$out"

# Every image is drawn on a 32x32 grid and rendered at 32x32, except the
# logo, which is drawn on a 64x64 grid for the about box.
size_of() {
    case "$1" in
        logo) echo 64 ;;
        *)    echo 32 ;;
    esac
}

count=0
for svg in "$src"/*.svg; do
    name=$(basename "$svg" .svg)
    size=$(size_of "$name")
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "$out/$name.png" "$svg"
    count=$((count + 1))
done

echo "render-icons.sh: rendered $count images into $out"
