#!/bin/bash
# Remakes the two default background pictures (seamless 128 x 128 tiles): a
# beige linen weave for the screen and a cream paper grain for the reading box.
# Both are translucent PNGs drawn over the slot colour: over white they give the
# opaque weave and paper below, over a dark scheme colour they only tint it, so
# every colour scheme keeps its own contrast. Needs ImageMagick; the pictures
# are committed, so builds never run this. The noise is drawn anew on every
# run: a remake is alike, not identical.
set -euo pipefail
out="$(cd "$(dirname "$0")/../data/BackImages" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The colour C and alpha A that give picture P over white: P = A*C + (1-A)*white.
translucent() {  # opaque picture, alpha, output
  convert "$1" -channel RGB -fx "min(max((u-(1-$2))/$2,0),1)" +channel \
    -alpha set -channel A -evaluate set "$(awk "BEGIN{print $2*100}")%" +channel "PNG32:$3"
}
# Threads: random noise smeared along rows, and again along columns (tile-aware).
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -morphology Convolve Blur:0x2,0 h.png
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -morphology Convolve Blur:0x2,90 v.png
convert h.png v.png -compose blend -define compose:args=50 -composite -auto-level +level 35%,65% weave.png
convert -size 128x128 xc:'#e2d6bd' weave.png -compose overlay -composite -type truecolor screen.png
translucent screen.png 0.3 "$out/DefaultScreen.png"
# Paper: fine grain, barely visible; a light alpha keeps a black box black.
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -blur 0x1.0 -auto-level +level 45%,55% paper.png
convert -size 128x128 xc:'#faf5e8' paper.png -compose overlay -composite -type truecolor rich.png
translucent rich.png 0.08 "$out/DefaultRich.png"
