// What monolook prints for a file it accepts or refuses, worked out from the file's
// own bytes, for end-to-end tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "bmp_fixture.h"
#include "programs.h"

namespace inspection {

inline std::uint32_t Le32At(const Bytes& file, std::size_t at) {
  return static_cast<std::uint32_t>(file.at(at)) | static_cast<std::uint32_t>(file.at(at + 1)) << 8 |
         static_cast<std::uint32_t>(file.at(at + 2)) << 16 | static_cast<std::uint32_t>(file.at(at + 3)) << 24;
}

inline unsigned Le16At(const Bytes& file, std::size_t at) {
  return file.at(at) | static_cast<unsigned>(file.at(at + 1)) << 8U;
}

inline int Signed(std::uint32_t value) { return static_cast<std::int32_t>(value); }

// The header report for the fields stored in `file`.
inline std::string Report(const Bytes& file) {
  char text[512];
  (void)std::snprintf(text, sizeof text,
                "Informace o obrazku:\n\nNazev obrazku: intelww4.bmp\nVelikost: %d byte\n"
                "Rozliseni(px): %d x %d\nOffset dat: %d\nBarevna hloubka: %u\nPocet bitu na pixel: %u\n",
                Signed(Le32At(file, 2)), Signed(Le32At(file, 18)), Signed(Le32At(file, 22)),
                Signed(Le32At(file, 10)), Le16At(file, 26), Le16At(file, 28));
  return text;
}

// The listing part of a run, with the address masked.
inline std::string Listing(const Bytes& file) {
  const std::size_t offset = Le32At(file, 10);
  const auto height = Signed(Le32At(file, 22));
  const std::size_t rows = static_cast<std::size_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
  const std::size_t length = StrideOf(Le32At(file, 18)) * rows;
  std::string text = "\nVypis pameti:\nMemory starting at 0xXXXXXXXX: of length " + std::to_string(length) +
                     " bytes\n\n";
  for (std::size_t i = 0; i < length; ++i) {
    char group[4];
    (void)std::snprintf(group, sizeof group, "%02X ", file.at(offset + i));
    text += group;
    if ((i + 1) % 16 == 0) text += '\n';
  }
  return text + "\n";
}

// The whole output of a successful run on `file`, address masked.
inline std::string Inspection(const Bytes& file) {
  return Report(file) + Listing(file) + ReferenceDrawing(file, kBlock) + look_text::kAuthor;
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
