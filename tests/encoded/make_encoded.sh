#!/usr/bin/env bash
# Writes the encoded fixtures of tests/programs/encoded_picture_test.cpp: small pictures
# drawn here, as plain PBM (and a few as PGM and PPM), each saved as a one-bit BMP by
# encoders written by others: ImageMagick, GraphicsMagick, netpbm's ppmtobmp and Pillow.
# Run by hand after a change to this script, then commit the folder; the tests read the
# committed files and never run it. It needs Debian's imagemagick, graphicsmagick, netpbm
# and python3-pil; CONVERT, GM, PPMTOBMP and PYTHON name other copies of the tools.
#
# It writes, beside itself:
#   source-wN.pbm          the picture N pixels wide, as drawn here (1 is black)
#   source-wN-grey.pgm     the same picture in two greys, source-wN-colour.ppm in two colours
#   ENCODER-FORM-wN.bmp    what ENCODER made of it in FORM
#   fixtures.txt           one line a BMP file: the file, its encoder, its form, its
#                          information header's size, its width and height, and its source
# Every BMP file is checked to hold one bit per pixel and the header size its form has.
set -euo pipefail
cd "$(dirname "$0")"

CONVERT=${CONVERT:-convert}
GM=${GM:-gm}
PPMTOBMP=${PPMTOBMP:-ppmtobmp}
PYTHON=${PYTHON:-python3}
if ! "$PYTHON" -c 'import PIL' 2>/dev/null && /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
  PYTHON=/usr/bin/python3  # Debian's python3-pil, when another python3 comes first in PATH
fi
for tool in "$CONVERT" "$GM" "$PPMTOBMP"; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (Debian: imagemagick graphicsmagick netpbm)" >&2; exit 1; }
done
"$PYTHON" -c 'import PIL' 2>/dev/null || { echo "$PYTHON cannot import PIL (Debian: python3-pil)" >&2; exit 1; }

# Heights differ from width to width.
declare -A height=([1]=5 [7]=3 [8]=4 [31]=6 [32]=2 [33]=7 [100]=3)
widths=(1 7 8 31 32 33 100)
some=(1 7 31 33)

# draw WIDTH HEIGHT KIND: the picture in KIND (pbm, pgm or ppm) on standard output. The
# top-left pixel is black, the top-right and bottom-left ones white, and the rest come
# from a small linear congruential generator, row by row, so that nothing repeats along a
# row or down the picture: a flip, a mirror, a shift along a row or an exchange of the
# two colours changes it.
draw() {
  awk -v w="$1" -v h="$2" -v kind="$3" 'BEGIN {
    seed = w
    if (kind == "pbm") printf "P1\n%d %d\n", w, h
    if (kind == "pgm") printf "P2\n%d %d\n100\n", w, h          # greys 40 and 80 of 100
    if (kind == "ppm") printf "P3\n%d %d\n15\n", w, h           # colours of 15 a channel
    for (y = 0; y < h; y++) {
      line = ""
      for (x = 0; x < w; x++) {
        seed = (seed * 75 + 74) % 65537
        black = int(seed / 256) % 2
        if (x == 0 && y == 0) black = 1
        if (x == w - 1 && y == 0 && w > 1) black = 0
        if (x == 0 && y == h - 1) black = 0
        if (kind == "pbm") line = line (black ? "1" : "0")
        if (kind == "pgm") line = line (x ? " " : "") (black ? "40" : "80")
        if (kind == "ppm") line = line (x ? "  " : "") (black ? "3 0 9" : "15 12 0")
      }
      print line
    }
  }'
}

# le FILE OFFSET BYTES: the unsigned little-endian number of BYTES bytes at OFFSET.
le() {
  od -An -tu"$3" -j"$2" -N"$3" --endian=little "$1" | tr -d ' '
}

rm -f ./*.bmp source-*.pbm source-*.pgm source-*.ppm
manifest=fixtures.txt
{
  echo "# Written by make_encoded.sh. The encoded fixtures: file, encoder, form, information"
  echo "# header size, width, height, and the picture drawn before it was encoded."
} >"$manifest"

# keep FILE ENCODER FORM SIZES WIDTH SOURCE: checks FILE and lists it; SIZES are the
# information header sizes its form may have.
keep() {
  local file=$1 encoder=$2 form=$3 sizes=$4 width=$5 source=$6
  local size bits
  [ "$(head -c 2 "$file")" = BM ] || { echo "$file: not a BMP file" >&2; exit 1; }
  size=$(le "$file" 14 4)
  case " $sizes " in
    *" $size "*) ;;
    *) echo "$file: information header of $size bytes, not one of: $sizes" >&2; exit 1 ;;
  esac
  if [ "$size" = 12 ]; then bits=$(le "$file" 24 2); else bits=$(le "$file" 28 2); fi
  [ "$bits" = 1 ] || { echo "$file: $bits bits per pixel, not 1" >&2; exit 1; }
  echo "$file $encoder $form $size $width ${height[$width]} $source" >>"$manifest"
}

for w in "${widths[@]}"; do
  draw "$w" "${height[$w]}" pbm >"source-w$w.pbm"
done

for w in "${some[@]}"; do
  s=source-w$w.pbm
  "$CONVERT" "$s" -type bilevel "BMP:imagemagick-default-w$w.bmp"
  keep "imagemagick-default-w$w.bmp" imagemagick default "108 124" "$w" "$s"
  "$CONVERT" "$s" -type bilevel "BMP3:imagemagick-bmp3-w$w.bmp"
  keep "imagemagick-bmp3-w$w.bmp" imagemagick bmp3 40 "$w" "$s"
  "$GM" convert "$s" -monochrome "BMP:graphicsmagick-default-w$w.bmp"
  keep "graphicsmagick-default-w$w.bmp" graphicsmagick default "40 108 124" "$w" "$s"
  "$PPMTOBMP" -windows "$s" >"ppmtobmp-windows-w$w.bmp" 2>/dev/null
  keep "ppmtobmp-windows-w$w.bmp" ppmtobmp windows 40 "$w" "$s"
  "$PYTHON" - "$s" "pillow-mode1-w$w.bmp" <<'EOF'
import sys
from PIL import Image
picture = Image.open(sys.argv[1])
if picture.mode != "1":
    sys.exit(f"{sys.argv[1]}: read as mode {picture.mode}, not 1")
picture.save(sys.argv[2], "BMP")
EOF
  keep "pillow-mode1-w$w.bmp" pillow mode1 40 "$w" "$s"
done

# The OS/2 forms at every width.
for w in "${widths[@]}"; do
  s=source-w$w.pbm
  "$CONVERT" "$s" -type bilevel "BMP2:imagemagick-bmp2-w$w.bmp"
  keep "imagemagick-bmp2-w$w.bmp" imagemagick bmp2 12 "$w" "$s"
  "$GM" convert "$s" -monochrome "BMP2:graphicsmagick-bmp2-w$w.bmp"
  keep "graphicsmagick-bmp2-w$w.bmp" graphicsmagick bmp2 12 "$w" "$s"
  "$PPMTOBMP" -os2 "$s" >"ppmtobmp-os2-w$w.bmp" 2>/dev/null
  keep "ppmtobmp-os2-w$w.bmp" ppmtobmp os2 12 "$w" "$s"
done

# Palettes other than black and white. The same two colours come out in opposite
# orders from ppmtobmp and ImageMagick, so their bits are each other's inverse.
draw 31 "${height[31]}" ppm >source-w31-colour.ppm
draw 33 "${height[33]}" ppm >source-w33-colour.ppm
draw 7 "${height[7]}" pgm >source-w7-grey.pgm
"$PPMTOBMP" -windows source-w31-colour.ppm >ppmtobmp-windows-colour-w31.bmp 2>/dev/null
keep ppmtobmp-windows-colour-w31.bmp ppmtobmp windows 40 31 source-w31-colour.ppm
"$CONVERT" source-w31-colour.ppm -colors 2 -type palette BMP3:imagemagick-bmp3-colour-w31.bmp
keep imagemagick-bmp3-colour-w31.bmp imagemagick bmp3 40 31 source-w31-colour.ppm
"$CONVERT" source-w33-colour.ppm -colors 2 -type palette BMP2:imagemagick-bmp2-colour-w33.bmp
keep imagemagick-bmp2-colour-w33.bmp imagemagick bmp2 12 33 source-w33-colour.ppm
"$PPMTOBMP" -windows source-w7-grey.pgm >ppmtobmp-windows-grey-w7.bmp 2>/dev/null
keep ppmtobmp-windows-grey-w7.bmp ppmtobmp windows 40 7 source-w7-grey.pgm

echo "$(grep -vc '^#' "$manifest") files listed in $(pwd)/$manifest"
