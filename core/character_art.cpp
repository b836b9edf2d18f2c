#include "character_art.h"

#include <array>
#include <cstring>

#include "output_chunk.h"

namespace {

// The characters of all eight pixels of one byte, leftmost (bit 7) first.
struct ByteGlyphs {
  char text[8 * kMaxGlyphBytes];
  std::size_t length;
};

using GlyphTable = std::array<ByteGlyphs, 256>;

// Pixel bytes expanded per reservation of output space: at most 8 * kMaxGlyphBytes each.
constexpr std::size_t kBytesPerStep = OutputChunk::kMaxReserve / sizeof(ByteGlyphs::text);

void BuildTable(GlyphTable& table, std::string_view setGlyph) {
  for (unsigned value = 0; value < 256; ++value) {
    ByteGlyphs& entry = table[value];
    std::memset(entry.text, ' ', sizeof entry.text);
    std::size_t at = 0;
    for (unsigned mask = 0x80; mask != 0; mask >>= 1) {
      if ((value & mask) != 0) {
        std::memcpy(entry.text + at, setGlyph.data(), setGlyph.size());
        at += setGlyph.size();
      } else {
        entry.text[at++] = ' ';
      }
    }
    entry.length = at;
  }
}

// Expands `count` whole pixel bytes. kCopy is a fixed number of bytes copied per
// pixel byte, at least its longest expansion, so the copy is a few plain moves;
// each step then advances by the expansion's real length (always kCopy when kFixed).
template <std::size_t kCopy, bool kFixed>
void ExpandBytes(OutputChunk& chunk, const GlyphTable& table, const unsigned char* bytes, std::size_t count) {
  while (count > 0) {
    const std::size_t step = count < kBytesPerStep ? count : kBytesPerStep;
    char* const start = chunk.Reserve(step * sizeof(ByteGlyphs::text));
    char* at = start;
    for (std::size_t i = 0; i < step; ++i) {
      const ByteGlyphs& entry = table[bytes[i]];
      std::memcpy(at, entry.text, kCopy);
      at += kFixed ? kCopy : entry.length;
    }
    chunk.Commit(static_cast<std::size_t>(at - start));
    bytes += step;
    count -= step;
  }
}

void DrawRow(OutputChunk& chunk, const GlyphTable& table, const unsigned char* row, std::uint32_t width,
             std::string_view setGlyph) {
  const std::uint32_t wholeBytes = width / 8;
  if (setGlyph.size() == 1) {
    ExpandBytes<8, true>(chunk, table, row, wholeBytes);  // every pixel byte gives eight characters
  } else {
    ExpandBytes<sizeof(ByteGlyphs::text), false>(chunk, table, row, wholeBytes);
  }
  // The pixels of a last, partly used byte; its low bits are padding.
  const std::uint32_t rest = width % 8;
  if (rest != 0) {
    const unsigned char last = row[wholeBytes];
    char* const start = chunk.Reserve(8 * kMaxGlyphBytes);
    char* at = start;
    for (std::uint32_t bit = 0; bit < rest; ++bit) {
      if ((last & (0x80U >> bit)) != 0) {
        std::memcpy(at, setGlyph.data(), setGlyph.size());
        at += setGlyph.size();
      } else {
        *at++ = ' ';
      }
    }
    chunk.Commit(static_cast<std::size_t>(at - start));
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

  // Static storage like the output block, and for the same reason: it is 10 KiB.
  static GlyphTable table;
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
