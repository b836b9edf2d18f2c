// What monolook prints for a file it accepts or refuses, worked out from the reference
// reading of the file's own bytes, for end-to-end tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "program_texts.h"
#include "reference_reading.h"

namespace inspection {

// The header report for the fields stored in `file`.
inline std::string Report(reference::File file) {
  const reference::Fields fields = reference::ReadFields(file);
  char text[512];
  (void)std::snprintf(text, sizeof text,
                      "Informace o obrazku:\n\nNazev obrazku: intelww4.bmp\nVelikost: %d byte\n"
                      "Rozliseni(px): %d x %d\nOffset dat: %d\nBarevna hloubka: %u\nPocet bitu na pixel: %u\n",
                      static_cast<std::int32_t>(fields.fileSize), static_cast<std::int32_t>(fields.width),
                      fields.height, static_cast<std::int32_t>(fields.pixelOffset), unsigned{fields.planes},
                      unsigned{fields.bitsPerPixel});
  return text;
}

// The listing part of a run on a picture whose pixel array is `pixels`, with the address masked.
inline std::string ListingOfPixels(std::span<const unsigned char> pixels) {
  return "\nVypis pameti:\nMemory starting at 0xXXXXXXXX: of length " + std::to_string(pixels.size()) +
         " bytes\n\n" + reference::ListedBytes(pixels) + "\n";
}

// The listing part of a run, with the address masked.
inline std::string Listing(reference::File file) { return ListingOfPixels(reference::PixelBytes(file)); }

// The whole output of a successful run on `file`, address masked, with `block` for a set pixel.
inline std::string Inspection(reference::File file, const std::string& block = kBlock) {
  return Report(file) + Listing(file) + reference::Drawing(file, block) + look_text::kAuthor;
}

// `out` with the eight hexadecimal digits of the listed address replaced by X.
inline std::string Masked(std::string out) {
  static const std::string kHeading = "Memory starting at 0x";
  for (std::size_t at = out.find(kHeading); at != std::string::npos; at = out.find(kHeading, at + 1)) {
    const std::size_t digits = at + kHeading.size();
    if (out.size() < digits + 9 || out[digits + 8] != ':') continue;
    if (out.find_first_not_of("0123456789ABCDEF", digits) != digits + 8) continue;
    out.replace(digits, 8, "XXXXXXXX");
  }
  return out;
}

}  // namespace inspection
