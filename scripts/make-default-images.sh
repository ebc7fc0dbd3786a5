#!/bin/bash
# Remakes the two default background pictures (seamless 128 x 128 tiles):
# a beige linen weave for the screen and a cream paper grain for the reading
# box. Needs ImageMagick; the pictures are committed, so builds never run this.
# The noise is drawn anew on every run: a remake is alike, not identical.
set -euo pipefail
out="$(dirname "$0")/../data/BackImages"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Threads: random noise smeared along rows, and again along columns (tile-aware).
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -morphology Convolve Blur:0x2,0 h.png
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -morphology Convolve Blur:0x2,90 v.png
convert h.png v.png -compose blend -define compose:args=50 -composite -auto-level +level 35%,65% weave.png
convert -size 128x128 xc:'#e2d6bd' weave.png -compose overlay -composite -type truecolor "BMP3:$out/DefaultScreen.bmp"
# Paper: fine grain, barely visible.
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -blur 0x1.0 -auto-level +level 45%,55% paper.png
convert -size 128x128 xc:'#faf5e8' paper.png -compose overlay -composite -type truecolor "BMP3:$out/DefaultRich.bmp"
