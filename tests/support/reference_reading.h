// The tests' one reading of a BMP file, written apart from the programs' core: every
// header field read byte by byte from where the BMP format puts it, every pixel read
// one at a time. It says which files the programs accept and what they must print for
// them. The unit tests, the end-to-end tests, the fuzzer and (through bmp_reference)
// the shell tests all take their expected results from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace reference {

using File = std::span<const unsigned char>;

// The header fields as stored, little-endian; a byte past the end of the file reads as 0.
// The information header's size field, at byte 14, says where the others are: an OS/2
// BITMAPCOREHEADER (size 12) has 16-bit width, height, planes and bit count at bytes 18,
// 20, 22 and 24 and no compression field; every other header has the Windows layout.
struct Fields {
  bool signature = false;  // the file starts with "BM"
  std::uint32_t fileSize = 0;
  std::uint32_t pixelOffset = 0;  // from the start of the file
  std::uint32_t headerSize = 0;   // of the information header, from byte 14
  std::uint32_t width = 0;        // the bits of a signed number
  std::int32_t height = 0;        // negative: rows stored top row first (never for OS/2)
  std::uint16_t planes = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
};

Fields ReadFields(File file);

// The number of pixel rows: the height's magnitude.
std::uint64_t Rows(const Fields& fields);
// Bytes of one stored row: one bit a pixel, padded to a whole number of 4-byte words.
std::uint64_t RowBytes(const Fields& fields);
// An OS/2 1.x picture: the 12-byte BITMAPCOREHEADER.
bool IsOs2(const Fields& fields);
// Where the information header ends: byte 14 plus its stated size.
std::uint64_t HeadersEnd(const Fields& fields);
// The file holds every stored row from the pixel offset on.
bool HoldsPixels(File file, const Fields& fields);

enum class Verdict { Accepted, NotOneBitBmp, Damaged };
const char* VerdictName(Verdict verdict);

// What the programs make of a file, by the rules of the README's "What is accepted":
// a file that is no BMP, has an information header of neither 12 bytes (OS/2) nor 40
// and more, is not a one-bit uncompressed one of a drawable size, or whose pixel array
// starts inside its headers, is not a one-bit BMP; a BMP that ends before its header
// size field, within the first 12 (OS/2) or 40 bytes of its information header, within
// that header as long as it says it is, or within its pixel array, is damaged.
Verdict Acceptance(File file);

// The picture, top line first: '1' for a set pixel, '0' for a clear one and '\n' after
// every line. Rows are RowBytes apart from the pixel offset, bottom row first unless
// the height is negative; bit 7 of a row's first byte is its leftmost pixel. Empty when
// the width is not drawable or the file does not hold every row.
std::string Cells(File file);
// The same for a pixel array alone, its first row at `pixels[0]`, of the size `fields` give.
std::string CellsOfPixels(std::span<const unsigned char> pixels, const Fields& fields);

// The cells drawn: a set pixel as `glyph`, a clear one as a space, each line ended by "\n".
std::string Drawing(File file, std::string_view glyph);
std::string DrawingOfCells(const std::string& cells, std::string_view glyph);

// The stored pixel array of the file, every row; empty when the file does not hold it.
std::span<const unsigned char> PixelBytes(File file);

// Bytes as monolook lists them: each as two uppercase hexadecimal digits and a space,
// a "\n" after every sixteenth.
std::string ListedBytes(std::span<const unsigned char> bytes);

// A palette entry's colour.
struct Colour {
  unsigned char red = 0;
  unsigned char green = 0;
  unsigned char blue = 0;
  bool operator==(const Colour&) const = default;
};

// The colours of pixel values 0 and 1: the two entries that follow the information
// header, of four bytes (blue, green, red, unused), or of three (blue, green, red) after
// an OS/2 header. Nothing when the file does not hold them.
std::optional<std::array<Colour, 2>> Palette(File file);

}  // namespace reference
