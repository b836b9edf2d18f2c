#include "reference_reading.h"

namespace reference {

namespace {

// The byte at `at`, or 0 past the end of the file.
unsigned ByteAt(File file, std::uint64_t at) { return at < file.size() ? file[static_cast<std::size_t>(at)] : 0U; }

// The little-endian number of `count` bytes from `at`, least significant byte first.
std::uint64_t Number(File file, std::uint64_t at, unsigned count) {
  std::uint64_t value = 0;
  for (unsigned i = count; i-- > 0;) value = value * 256 + ByteAt(file, at + i);
  return value;
}

}  // namespace

Fields ReadFields(File file) {
  Fields fields;
  fields.signature = file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
  fields.fileSize = static_cast<std::uint32_t>(Number(file, 2, 4));
  fields.pixelOffset = static_cast<std::uint32_t>(Number(file, 10, 4));
  fields.headerSize = static_cast<std::uint32_t>(Number(file, 14, 4));
  if (IsOs2(fields)) {
    fields.width = static_cast<std::uint32_t>(Number(file, 18, 2));
    fields.height = static_cast<std::int32_t>(Number(file, 20, 2));
    fields.planes = static_cast<std::uint16_t>(Number(file, 22, 2));
    fields.bitsPerPixel = static_cast<std::uint16_t>(Number(file, 24, 2));
    return fields;
  }
  fields.width = static_cast<std::uint32_t>(Number(file, 18, 4));
  const std::uint64_t height = Number(file, 22, 4);
  fields.height = static_cast<std::int32_t>(height < 0x80000000U ? static_cast<std::int64_t>(height)
                                                                 : static_cast<std::int64_t>(height) - 0x100000000);
  fields.planes = static_cast<std::uint16_t>(Number(file, 26, 2));
  fields.bitsPerPixel = static_cast<std::uint16_t>(Number(file, 28, 2));
  fields.compression = static_cast<std::uint32_t>(Number(file, 30, 4));
  return fields;
}

std::uint64_t Rows(const Fields& fields) {
  const std::int64_t height = fields.height;
  return static_cast<std::uint64_t>(height < 0 ? -height : height);
}

std::uint64_t RowBytes(const Fields& fields) {
  const std::uint64_t bits = fields.width;
  const std::uint64_t words = bits / 32 + (bits % 32 != 0 ? 1 : 0);
  return words * 4;
}

bool IsOs2(const Fields& fields) { return fields.headerSize == 12; }

std::uint64_t HeadersEnd(const Fields& fields) { return 14 + std::uint64_t{fields.headerSize}; }

bool HoldsPixels(File file, const Fields& fields) {
  return fields.pixelOffset + RowBytes(fields) * Rows(fields) <= file.size();
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Accepted:
      return "accepted";
    case Verdict::NotOneBitBmp:
      return "not a one-bit BMP";
    case Verdict::Damaged:
      return "damaged";
  }
  return "unknown";
}

Verdict Acceptance(File file) {
  const Fields fields = ReadFields(file);
  if (!fields.signature) return Verdict::NotOneBitBmp;
  if (file.size() < 18) return Verdict::Damaged;  // no header size to tell the header by
  if (!IsOs2(fields) && fields.headerSize < 40) return Verdict::NotOneBitBmp;
  if (file.size() < 14 + (IsOs2(fields) ? 12 : 40)) return Verdict::Damaged;
  const bool oneBit = fields.bitsPerPixel == 1 && fields.compression == 0;
  const bool drawable = fields.width >= 1 && fields.width <= 0x7FFFFFFF && fields.height != 0;
  if (!oneBit || !drawable) return Verdict::NotOneBitBmp;
  if (HeadersEnd(fields) > file.size()) return Verdict::Damaged;
  if (fields.pixelOffset < HeadersEnd(fields)) return Verdict::NotOneBitBmp;
  if (!HoldsPixels(file, fields)) return Verdict::Damaged;
  return Verdict::Accepted;
}

std::string CellsOfPixels(std::span<const unsigned char> pixels, const Fields& fields) {
  const std::uint64_t rows = Rows(fields);
  const std::uint64_t rowBytes = RowBytes(fields);
  if (fields.width < 1 || fields.width > 0x7FFFFFFF || rowBytes * rows > pixels.size()) return {};
  std::string cells;
  cells.reserve(static_cast<std::size_t>(rows * (fields.width + 1)));
  for (std::uint64_t line = 0; line < rows; ++line) {
    const std::uint64_t stored = fields.height < 0 ? line : rows - 1 - line;
    const std::uint64_t rowStart = stored * rowBytes;
    for (std::uint64_t x = 0; x < fields.width; ++x) {
      const unsigned byte = pixels[static_cast<std::size_t>(rowStart + x / 8)];  // inside: checked above
      cells += ((byte >> (7 - x % 8)) & 1U) != 0 ? '1' : '0';
    }
    cells += '\n';
  }
  return cells;
}

std::string Cells(File file) {
  const Fields fields = ReadFields(file);
  if (!HoldsPixels(file, fields)) return {};
  return CellsOfPixels(file.subspan(fields.pixelOffset), fields);
}

std::string DrawingOfCells(const std::string& cells, std::string_view glyph) {
  std::string text;
  text.reserve(cells.size() * glyph.size());
  for (const char cell : cells) {
    if (cell == '1') {
      text += glyph;
    } else {
      text += cell == '0' ? ' ' : '\n';
    }
  }
  return text;
}

std::string Drawing(File file, std::string_view glyph) { return DrawingOfCells(Cells(file), glyph); }

std::span<const unsigned char> PixelBytes(File file) {
  const Fields fields = ReadFields(file);
  if (!HoldsPixels(file, fields)) return {};
  return file.subspan(fields.pixelOffset, static_cast<std::size_t>(RowBytes(fields) * Rows(fields)));
}

std::string ListedBytes(std::span<const unsigned char> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3 + bytes.size() / 16);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text += kDigits[bytes[i] / 16];
    text += kDigits[bytes[i] % 16];
    text += ' ';
    if ((i + 1) % 16 == 0) text += '\n';
  }
  return text;
}

std::optional<std::array<Colour, 2>> Palette(File file) {
  const Fields fields = ReadFields(file);
  const std::uint64_t at = HeadersEnd(fields);
  const std::uint64_t entryBytes = IsOs2(fields) ? 3 : 4;
  if (at + 2 * entryBytes > file.size()) return std::nullopt;
  std::array<Colour, 2> palette;
  for (std::uint64_t entry = 0; entry < 2; ++entry) {
    const auto first = static_cast<std::size_t>(at + entryBytes * entry);  // inside: checked above
    palette[static_cast<std::size_t>(entry)] = Colour{file[first + 2], file[first + 1], file[first]};
  }
  return palette;
}

}  // namespace reference
