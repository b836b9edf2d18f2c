# The shell tests' way to the tests' one reading of a picture (tests/reference_reading.cpp,
# through the bmp_reference tool), sourced by them: what the programs must print for a
# file. BMP_REFERENCE names the tool; BMP_REFERENCE_RUNNER, when set, is the program that
# runs it (wine, for the Windows build). Run under LC_ALL=C so that strings are bytes.

# Takes FILE as the picture the other functions speak of.
bmp_load() {
  BMP_FILE=$1
}

# bmp_ask WHAT [GLYPH]: the tool's answer for the picture, GLYPH given in hexadecimal.
bmp_ask() {
  local glyph=()
  if [ $# -gt 1 ]; then glyph=("$(printf '%s' "$2" | od -An -v -tx1 | tr -d ' \n')"); fi
  ${BMP_REFERENCE_RUNNER:+"$BMP_REFERENCE_RUNNER"} "$BMP_REFERENCE" "$1" "${glyph[@]}" <"$BMP_FILE"
}

bmp_width() { bmp_ask width; }
bmp_rows() { bmp_ask rows; }

# The picture top row first: GLYPH for a set bit, a space for a clear one, a line per row.
bmp_drawing() { bmp_ask drawing "$1"; }

# monolook's header report.
bmp_report() { bmp_ask report; }

# Everything a successful monolook run prints, with GLYPH as the block and the listed
# address written as XXXXXXXX.
bmp_inspection() { bmp_ask inspection "$1"; }
