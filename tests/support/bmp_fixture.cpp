#include "bmp_fixture.h"

#include <algorithm>

void PutLe16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes.at(at) = static_cast<unsigned char>(value & 0xFF);
  bytes.at(at + 1) = static_cast<unsigned char>(value >> 8);
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<unsigned char>(value >> (8 * i));
}

std::size_t StrideOf(std::uint32_t width) { return (static_cast<std::size_t>(width) + 31) / 32 * 4; }

Bytes PixelArray(const Art& art, bool topDown, unsigned char padding) {
  const auto width = static_cast<std::uint32_t>(art.empty() ? 0 : art.front().size());
  const std::size_t stride = StrideOf(width);
  Bytes pixels;
  for (std::size_t line = 0; line < art.size(); ++line) {
    const std::string& row = art[topDown ? line : art.size() - 1 - line];
    Bytes stored(stride, padding);
    for (std::size_t x = 0; x < stride * 8; ++x) {
      const auto mask = static_cast<unsigned char>(0x80U >> (x % 8));
      if (x < row.size()) {
        if (row[x] == '#') {
          stored[x / 8] = static_cast<unsigned char>(stored[x / 8] | mask);
        } else {
          stored[x / 8] = static_cast<unsigned char>(stored[x / 8] & ~mask);
        }
      }
    }
    pixels.insert(pixels.end(), stored.begin(), stored.end());
  }
  return pixels;
}

Bytes BuildBmp(const BmpFields& fields, const Bytes& pixels) {
  Bytes file(std::max<std::size_t>(fields.pixelOffset, 54), 0);
  const std::size_t palette = 14 + static_cast<std::size_t>(fields.headerSize);
  if (fields.headerSize <= 0xFFFF && palette + 8 <= file.size()) {
    std::fill(file.begin() + static_cast<std::ptrdiff_t>(palette), file.begin() + static_cast<std::ptrdiff_t>(palette) + 3,
              0xFF);  // palette entry 0: white; entry 1 stays black
  }
  file.insert(file.end(), pixels.begin(), pixels.end());
  file[0] = static_cast<unsigned char>(fields.signature & 0xFF);
  file[1] = static_cast<unsigned char>(fields.signature >> 8);
  PutLe32(file, 2, fields.fileSize != 0 ? fields.fileSize : static_cast<std::uint32_t>(file.size()));
  PutLe32(file, 10, fields.pixelOffset);
  PutLe32(file, 14, fields.headerSize);
  PutLe32(file, 18, fields.width);
  PutLe32(file, 22, fields.height);
  PutLe16(file, 26, fields.planes);
  PutLe16(file, 28, fields.bitsPerPixel);
  PutLe32(file, 30, fields.compression);
  PutLe32(file, 34, static_cast<std::uint32_t>(pixels.size()));
  PutLe32(file, 46, 2);  // colours used
  return file;
}

Bytes BmpOfArt(const Art& art, bool topDown, unsigned char padding) {
  BmpFields fields;
  fields.width = static_cast<std::uint32_t>(art.empty() ? 0 : art.front().size());
  const auto rows = static_cast<std::uint32_t>(art.size());
  fields.height = topDown ? 0U - rows : rows;
  return BuildBmp(fields, PixelArray(art, topDown, padding));
}

Bytes Os2BmpOfArt(const Art& art, std::size_t gap) {
  const std::size_t offset = 14 + 12 + 6 + gap;
  Bytes file(offset, 0);
  const Bytes pixels = PixelArray(art);
  file.insert(file.end(), pixels.begin(), pixels.end());
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 2, static_cast<std::uint32_t>(file.size()));
  PutLe32(file, 10, static_cast<std::uint32_t>(offset));
  PutLe32(file, 14, 12);
  PutLe16(file, 18, static_cast<std::uint16_t>(art.empty() ? 0 : art.front().size()));
  PutLe16(file, 20, static_cast<std::uint16_t>(art.size()));
  PutLe16(file, 22, 1);
  PutLe16(file, 24, 1);
  std::fill(file.begin() + 26, file.begin() + 29, 0xFF);  // entry 0: white; entry 1 stays black
  return file;
}

std::string ArtText(const Art& art, const std::string& glyph) {
  std::string text;
  for (const std::string& row : art) {
    for (char c : row) text += c == '#' ? glyph : std::string(" ");
    text += '\n';
  }
  return text;
}
