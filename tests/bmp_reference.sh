# A plain reading of a one-bit BMP file for the shell tests, sourced by them:
# the header fields and what the programs must print for the file, worked out
# byte by byte and pixel by pixel, apart from the programs' own code.
# Run under LC_ALL=C so that strings are bytes.

# Loads the bytes of FILE into the array BMP, one decimal value each.
bmp_load() {
  # shellcheck disable=SC2207
  BMP=($(od -An -v -tu1 "$1"))
}

bmp_u16() { echo $((BMP[$1] | BMP[$1 + 1] << 8)); }
bmp_u32() { echo $((BMP[$1] | BMP[$1 + 1] << 8 | BMP[$1 + 2] << 16 | BMP[$1 + 3] << 24)); }
bmp_s32() {
  local value
  value=$(bmp_u32 "$1")
  ((value >= 2147483648)) && value=$((value - 4294967296))
  echo "$value"
}

bmp_width() { bmp_u32 18; }
bmp_rows() { local h; h=$(bmp_s32 22); echo "${h#-}"; }
bmp_stride() { echo $((($(bmp_width) + 31) / 32 * 4)); }

# The picture top row first: GLYPH for a set bit, a space for a clear one, a line per row.
bmp_drawing() {
  local glyph=$1 width rows stride offset height line stored x byte row
  width=$(bmp_width)
  rows=$(bmp_rows)
  stride=$(bmp_stride)
  offset=$(bmp_u32 10)
  height=$(bmp_s32 22)
  for ((line = 0; line < rows; line++)); do
    if ((height < 0)); then stored=$line; else stored=$((rows - 1 - line)); fi
    row=""
    for ((x = 0; x < width; x++)); do
      byte=${BMP[offset + stored * stride + x / 8]}
      if ((byte & (0x80 >> (x % 8)))); then row+=$glyph; else row+=" "; fi
    done
    printf '%s\n' "$row"
  done
}

# monolook's header report.
bmp_report() {
  printf 'Informace o obrazku:\n\nNazev obrazku: intelww4.bmp\n'
  printf 'Velikost: %d byte\n' "$(bmp_s32 2)"
  printf 'Rozliseni(px): %d x %d\n' "$(bmp_s32 18)" "$(bmp_s32 22)"
  printf 'Offset dat: %d\n' "$(bmp_s32 10)"
  printf 'Barevna hloubka: %d\n' "$(bmp_u16 26)"
  printf 'Pocet bitu na pixel: %d\n' "$(bmp_u16 28)"
}

# monolook's listing of the pixel bytes, the address written as XXXXXXXX, and the
# line end printed after it.
bmp_listing() {
  local offset length i
  offset=$(bmp_u32 10)
  length=$(($(bmp_stride) * $(bmp_rows)))
  printf '\nVypis pameti:\nMemory starting at 0xXXXXXXXX: of length %d bytes\n\n' "$length"
  for ((i = 0; i < length; i++)); do
    printf '%02X ' "${BMP[offset + i]}"
    if (((i + 1) % 16 == 0)); then printf '\n'; fi
  done
  printf '\n'
}

# Everything a successful monolook run prints, with GLYPH as the block.
bmp_inspection() {
  bmp_report
  bmp_listing
  bmp_drawing "$1"
  printf '\nAutor: Bc. Bremik Sotnar  - K52R7716T\n\n'
}
