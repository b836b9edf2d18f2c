#include "stb_judge.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "reference_reading.h"

namespace stb_judge {

namespace {

using reference::Fields;

constexpr std::uint64_t kLargestStbDimension = std::uint64_t{1} << 24;

bool KnownToStb(std::uint32_t headerSize) {
  return headerSize == 12 || headerSize == 40 || headerSize == 56 || headerSize == 108 || headerSize == 124;
}

// Bytes between the end of the information header and the pixel offset, where
// stb_image reads a one-bit picture's palette; negative when the offset lies inside.
std::int64_t PaletteRoom(const Fields& fields) {
  return static_cast<std::int64_t>(fields.pixelOffset) - static_cast<std::int64_t>(reference::HeadersEnd(fields));
}

// The palette entries stb_image 2.27 reads for a one-bit picture: the room for four-byte
// entries after a Windows header, but for an OS/2 header (offset - 14 - 24) / 3, counted
// as if that header were 24 bytes long (C's division, which rounds towards zero).
std::int64_t StbPaletteEntries(const Fields& fields) {
  if (!reference::IsOs2(fields)) return PaletteRoom(fields) >= 0 ? PaletteRoom(fields) / 4 : -1;
  return (static_cast<std::int64_t>(fields.pixelOffset) - 14 - 24) / 3;
}

// The intended difference a file shows where the core refuses it and stb_image decodes it.
Difference WhyOnlyStbDecodes(const Fields& fields) {
  if (fields.bitsPerPixel != 1) return Difference::OtherBitDepth;
  if (fields.compression >= 0x80000000U) return Difference::CompressionBit31;
  if (fields.width == 0 || fields.height == 0) return Difference::NoPixels;
  return Difference::None;
}

// The intended difference a file shows where the core takes it and stb_image refuses it.
Difference WhyOnlyTheCoreDraws(const Fields& fields) {
  const std::int64_t entries = StbPaletteEntries(fields);
  if (reference::IsOs2(fields) && entries < 2) return Difference::Os2Palette;
  if (PaletteRoom(fields) >= 0 && entries < 2) return Difference::NoPaletteRoom;
  if (entries > 256) return Difference::LargePalette;
  if (fields.planes != 1) return Difference::Planes;
  if (!KnownToStb(fields.headerSize)) return Difference::UnknownHeaderSize;
  if (fields.width > kLargestStbDimension || reference::Rows(fields) > kLargestStbDimension) {
    return Difference::LargeDimensions;
  }
  return Difference::None;
}

// The file ends before the file header and the first 12 (OS/2) or 40 bytes of the
// information header, before that header ends, or before a pixel array of one bit a
// pixel would (the smallest a BMP of its size can have).
bool EndsTooSoon(std::span<const unsigned char> file, const Fields& fields) {
  if (file.size() < 14 + (reference::IsOs2(fields) ? 12U : 40U)) return true;
  return reference::HeadersEnd(fields) > file.size() || !reference::HoldsPixels(file, fields);
}

std::string Printed(const char* format, auto... values) {
  char text[256];
  (void)std::snprintf(text, sizeof text, format, values...);
  return text;
}

// The fields that decide a verdict, for a fault's message.
std::string Described(const Fields& fields) {
  return Printed("header size %" PRIu32 " (it ends at byte %" PRIu64 "), pixel offset %" PRIu32 ", width %" PRIu32
                 ", height %" PRId32 ", planes %u, %u bits per pixel, compression %" PRIu32,
                 fields.headerSize, reference::HeadersEnd(fields), fields.pixelOffset, fields.width, fields.height,
                 unsigned{fields.planes}, unsigned{fields.bitsPerPixel}, fields.compression);
}

// Every pixel of the core's drawing against stb_image's colour for it.
std::string ComparePixels(std::span<const unsigned char> file, const Decoded& decoded, const std::string& cells) {
  const Fields fields = reference::ReadFields(file);
  if (static_cast<std::uint64_t>(decoded.width) != fields.width ||
      static_cast<std::uint64_t>(decoded.height) != reference::Rows(fields)) {
    return Printed("stb_image decodes %d x %d pixels, the headers say %" PRIu32 " x %" PRIu64, decoded.width,
                   decoded.height, fields.width, reference::Rows(fields));
  }
  const std::optional<std::array<reference::Colour, 2>> palette = reference::Palette(file);
  // Where both values have one colour, stb_image's picture says nothing of the bits.
  if (!palette || (*palette)[0] == (*palette)[1]) return {};
  std::size_t cell = 0;
  std::size_t pixel = 0;
  for (int y = 0; y < decoded.height; ++y) {
    for (int x = 0; x < decoded.width; ++x, ++cell, ++pixel) {
      if (cell >= cells.size() || (cells[cell] != '0' && cells[cell] != '1')) {
        return Printed("the core's drawing ends early at line %d, column %d", y, x);
      }
      const reference::Colour& expected = (*palette)[cells[cell] == '1' ? 1 : 0];
      const reference::Colour got{decoded.rgb[3 * pixel], decoded.rgb[3 * pixel + 1], decoded.rgb[3 * pixel + 2]};
      if (got != expected) {
        return Printed("stb_image differs at pixel (%d, %d): the core draws a %s pixel, of colour #%02X%02X%02X, "
                       "stb_image gives #%02X%02X%02X",
                       x, y, cells[cell] == '1' ? "set" : "clear", expected.red, expected.green, expected.blue,
                       got.red, got.green, got.blue);
      }
    }
    if (cell >= cells.size() || cells[cell] != '\n') return Printed("the core's line %d does not end where stb_image's row does", y);
    ++cell;
  }
  if (cell != cells.size()) return Printed("the core draws more lines than stb_image's %d rows", decoded.height);
  return {};
}

}  // namespace

const char* DifferenceName(Difference difference) {
  switch (difference) {
    case Difference::None:
      return "none";
    case Difference::CutShort:
      return "cut short";
    case Difference::OtherBitDepth:
      return "another bit depth";
    case Difference::CompressionBit31:
      return "a compression code with bit 31 set";
    case Difference::NoPixels:
      return "no pixels";
    case Difference::NoPaletteRoom:
      return "no room for a palette";
    case Difference::Os2Palette:
      return "an OS/2 palette stb_image miscounts";
    case Difference::LargePalette:
      return "room for more than 256 palette entries";
    case Difference::Planes:
      return "planes other than 1";
    case Difference::UnknownHeaderSize:
      return "a header size stb_image does not know";
    case Difference::LargeDimensions:
      return "a dimension above 2^24";
  }
  return "unknown";
}

std::string CellsOfDrawing(std::string drawnWithAt) {
  std::replace(drawnWithAt.begin(), drawnWithAt.end(), '@', '1');
  std::replace(drawnWithAt.begin(), drawnWithAt.end(), ' ', '0');
  return drawnWithAt;
}

Decoded Decode(std::span<const unsigned char> file) {
  Decoded result;
  if (file.size() > static_cast<std::size_t>(INT_MAX)) {
    result.reason = "too long for stb_image";
    return result;
  }
  const Fields fields = reference::ReadFields(file);
  if (fields.signature && fields.bitsPerPixel == 1 && StbPaletteEntries(fields) < 2) {
    // It would read fewer than two palette entries and take the rest from its own
    // uninitialised memory, so it is not asked.
    result.reason = "fewer than two palette entries";
    return result;
  }
  int channels = 0;
  stbi_uc* rgb = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &result.width, &result.height,
                                       &channels, 3);
  if (rgb == nullptr) {
    result.reason = stbi_failure_reason();
    return result;
  }
  result.decoded = true;
  result.rgb.assign(rgb, rgb + 3 * static_cast<std::size_t>(result.width) * static_cast<std::size_t>(result.height));
  stbi_image_free(rgb);
  return result;
}

Judgement Judge(std::span<const unsigned char> file, bool coreAccepted, const std::string& coreCells) {
  const Fields fields = reference::ReadFields(file);
  Judgement judgement;
  // stb_image reads zeros where such a file ends; it is not asked (a tiny file can state
  // millions of pixels), as any verdict of its own agrees with ours or is that difference.
  if (EndsTooSoon(file, fields)) {
    if (coreAccepted) judgement.fault = "the core takes a file that ends inside its headers or pixel array";
    judgement.difference = Difference::CutShort;
    return judgement;
  }
  const Decoded decoded = Decode(file);
  if (coreAccepted && decoded.decoded) {
    judgement.fault = ComparePixels(file, decoded, coreCells);
    return judgement;
  }
  if (coreAccepted == decoded.decoded) return judgement;  // both refuse

  judgement.difference = coreAccepted ? WhyOnlyTheCoreDraws(fields) : WhyOnlyStbDecodes(fields);
  if (judgement.difference == Difference::None) {
    judgement.fault = (coreAccepted ? "the core draws a file that stb_image refuses (" + decoded.reason + ")"
                                    : std::string("the core refuses a file that stb_image decodes")) +
                      ", and no intended difference explains it; the file: " + Described(fields);
  }
  return judgement;
}

}  // namespace stb_judge
