#!/bin/sh
# Writes the demo graph's sample picture: a 256 x 192 24-bit BMP with colour ramps, a bright disc
# and fine stripes, so that colour conversions, resizing and histograms all have something to show.
# usage: make_sample_image.sh OUT.bmp
set -eu
out=${1:?usage: make_sample_image.sh OUT.bmp}
LC_ALL=C awk 'function le(value, bytes,   i) {
    for (i = 0; i < bytes; i++) { printf "%c", value % 256; value = int(value / 256) }
  }
  BEGIN {
    w = 256; h = 192; row = w * 3; size = 54 + row * h
    printf "BM"; le(size, 4); le(0, 4); le(54, 4)
    le(40, 4); le(w, 4); le(h, 4); le(1, 2); le(24, 2); le(0, 4); le(row * h, 4)
    le(2835, 4); le(2835, 4); le(0, 4); le(0, 4)
    for (y = h - 1; y >= 0; y--) {
      for (x = 0; x < w; x++) {
        r = x; g = int(y * 255 / (h - 1)); b = 255 - int((x + y) / 2)
        dx = x - 170; dy = y - 80
        if (dx * dx + dy * dy < 40 * 40) { r = 255; g = 240; b = 120 }
        if (x < 64 && y >= 120 && int(x / 4) % 2 == 0) { r = 20; g = 20; b = 20 }
        printf "%c%c%c", b, g, r
      }
    }
  }' > "$out"
