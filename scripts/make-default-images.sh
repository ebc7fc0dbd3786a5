#!/bin/bash
# Remakes the two default background pictures (seamless 128 x 128 tiles): a
# grey-brown linen weave for the screen and a fine grey paper grain for the
# reading box. Both are translucent PNGs of dark colours drawn over the slot
# colour, so every colour scheme keeps its own hue, only dimmed. The dimming is
# what keeps body text at 7 : 1 or more in all three schemes: "Low strain"'s own
# colours give only 3.95 : 1, and the box's alpha is the least that lifts it past
# 7 : 1 (tests/PagelumeColorsTest.cpp measures it); "High light" turns a light
# grey page on a darker desk. Needs ImageMagick; the pictures are committed, so
# builds never run this. The noise is drawn anew on every run: a remake is
# alike, not identical.
set -euo pipefail
out="$(cd "$(dirname "$0")/../data/BackImages" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
translucent() {  # picture, alpha, output
  convert "$1" -alpha set -channel A -evaluate set "$(awk "BEGIN{print $2*100}")%" +channel "PNG32:$3"
}
# Threads: random noise smeared along rows, and again along columns (tile-aware).
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -morphology Convolve Blur:0x2,0 h.png
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -morphology Convolve Blur:0x2,90 v.png
convert h.png v.png -compose blend -define compose:args=50 -composite -auto-level +level 35%,65% weave.png
convert -size 128x128 xc:'#2e2a24' weave.png -compose overlay -composite -type truecolor screen.png
translucent screen.png 0.55 "$out/DefaultScreen.png"
# Paper: near-black fine grain; neutral, since any warmth in it costs "Low strain" its contrast.
convert -size 128x128 xc: +noise Random -colorspace gray -virtual-pixel tile -blur 0x1.0 -auto-level +level 0%,6% \
  -type truecolor paper.png
translucent paper.png 0.38 "$out/DefaultRich.png"
