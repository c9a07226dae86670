#!/usr/bin/env bash
# Fixtures made by another tool (ImageMagick) from the generator's sources:
# tests compare them with the source pixels, within the loss of each format.
set -euo pipefail
out="${1:-$(dirname "$0")/../tests/data/images}"
python3 "$(dirname "$0")/make_image_fixtures.py" "$out"
cd "$out"
convert smooth.png -quality 95 -sampling-factor 1x1 im_colour.jpg
convert smooth.png -colorspace Gray -quality 95 im_grey.jpg
convert smooth.png -quality 95 -sampling-factor 1x1 -interlace Plane im_progressive.jpg
convert smooth.png -colorspace CMYK -quality 95 -sampling-factor 1x1 im_cmyk.jpg
convert smooth.png -define dds:compression=dxt1 -define dds:mipmaps=3 im_dxt1.dds
convert smooth.png -define dds:compression=dxt5 -define dds:mipmaps=0 im_dxt5.dds
convert pattern.png im_rgba.tga
convert pattern.png -compress RLE im_rgba_rle.tga
convert pattern.png -alpha off im_rgb.tga
convert pattern.png -alpha off im_rgb.png
