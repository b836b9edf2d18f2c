// Builds one-bit BMP files in memory for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The header fields of a fixture file. fileSize 0 means "the real length".
struct BmpFields {
  std::uint16_t signature = 0x4D42;
  std::uint32_t fileSize = 0;
  std::uint32_t pixelOffset = 62;  // after both headers and a two-entry palette
  std::uint32_t headerSize = 40;
  std::uint32_t width = 0;
  std::uint32_t height = 0;  // two's complement bits of a signed height
  std::uint16_t planes = 1;
  std::uint16_t bitsPerPixel = 1;
  std::uint32_t compression = 0;
};

// A picture drawn as text, top row first: '#' is a set pixel, anything else clear.
using Art = std::vector<std::string>;

void PutLe16(Bytes& bytes, std::size_t at, std::uint16_t value);
void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value);

// Bytes per stored row, padded to 4.
std::size_t StrideOf(std::uint32_t width);

// The stored pixel array of `art`: rows padded to 4 bytes, bottom row first
// unless `topDown`. Padding bits and bytes are filled with `padding` to show
// that they are never drawn.
Bytes PixelArray(const Art& art, bool topDown = false, unsigned char padding = 0x00);

// A whole file: the headers of `fields`, a palette (white, black) after the
// information header when there is room for it before the pixel offset, then `pixels`.
Bytes BuildBmp(const BmpFields& fields, const Bytes& pixels);

// A whole, valid file of `art` (height negative when `topDown`).
Bytes BmpOfArt(const Art& art, bool topDown = false, unsigned char padding = 0x00);

// A whole, valid OS/2 1.x file of `art`: the 14-byte file header, the 12-byte
// BITMAPCOREHEADER (16-bit width, height, planes 1 and bit count 1), a palette of two
// three-byte entries (white, black), `gap` other bytes, then the rows bottom row first.
Bytes Os2BmpOfArt(const Art& art, std::size_t gap = 0);

// What a drawing of `art` prints with `glyph` for set pixels.
std::string ArtText(const Art& art, const std::string& glyph);
