#include "character_art.h"

#include <array>
#include <cstring>

#include "output_chunk.h"

namespace {

// The characters of all eight pixels of one byte, leftmost (bit 7) first.
struct ByteGlyphs {
  char text[8 * kMaxGlyphBytes];
  unsigned char length;
};

using GlyphTable = std::array<ByteGlyphs, 256>;

void BuildTable(GlyphTable& table, std::string_view setGlyph) {
  for (unsigned value = 0; value < 256; ++value) {
    ByteGlyphs& entry = table[value];
    std::size_t at = 0;
    for (unsigned mask = 0x80; mask != 0; mask >>= 1) {
      if ((value & mask) != 0) {
        std::memcpy(entry.text + at, setGlyph.data(), setGlyph.size());
        at += setGlyph.size();
      } else {
        entry.text[at++] = ' ';
      }
    }
    entry.length = static_cast<unsigned char>(at);
  }
}

void DrawRow(OutputChunk& chunk, const GlyphTable& table, const unsigned char* row,
             std::uint32_t width, std::string_view setGlyph) {
  const std::uint32_t wholeBytes = width / 8;
  for (std::uint32_t i = 0; i < wholeBytes; ++i) {
    const ByteGlyphs& entry = table[row[i]];
    std::memcpy(chunk.Reserve(), entry.text, sizeof entry.text);
    chunk.Commit(entry.length);
  }
  // The pixels of a last, partly used byte; its low bits are padding.
  const std::uint32_t rest = width % 8;
  for (std::uint32_t bit = 0; bit < rest; ++bit) {
    const unsigned mask = 0x80U >> bit;
    char* at = chunk.Reserve();
    if ((row[wholeBytes] & mask) != 0) {
      std::memcpy(at, setGlyph.data(), setGlyph.size());
      chunk.Commit(setGlyph.size());
    } else {
      *at = ' ';
      chunk.Commit(1);
    }
  }
  chunk.Put('\n');
}

}  // namespace

bool CharacterArt(std::FILE* out, const unsigned char* pixels, std::uint64_t length,
                  const BitmapInfoHeader& infoHeader, std::string_view setGlyph) {
  const std::uint32_t width = infoHeader.width;
  if (width == 0 || (width & 0x80000000U) != 0) return false;
  if (setGlyph.empty() || setGlyph.size() > kMaxGlyphBytes) return false;
  const std::uint64_t rows = HeightRows(infoHeader);
  if (rows == 0) return true;
  if (pixels == nullptr || PixelDataSize(infoHeader) > length) return false;

  GlyphTable table;
  BuildTable(table, setGlyph);
  const std::uint64_t stride = RowStride(width);
  const bool topDown = IsTopDown(infoHeader);
  OutputChunk chunk(out);
  for (std::uint64_t line = 0; line < rows; ++line) {
    const std::uint64_t stored = topDown ? line : rows - 1 - line;
    DrawRow(chunk, table, pixels + stored * stride, width, setGlyph);
  }
  return true;
}
