// stb_image, a public-domain image decoder written by others, as a second judge of what
// a BMP file holds. Where both stb_image and the core take a picture, they must agree on
// every pixel: the colour stb_image gives a pixel is the palette entry of the bit the
// core draws there. Where one takes a file and the other refuses it, the file must show
// one of the differences listed below, which this project intends (docs/DEVELOPING.md
// says why for each). Anything else is a fault, described in words.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace stb_judge {

// stb_image's reading of a file: the picture as red, green and blue bytes, top row first.
struct Decoded {
  bool decoded = false;
  std::string reason;  // why not, when not decoded
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
};

// Decodes with stb_image. A one-bit picture for which stb_image counts fewer than two
// palette entries counts as refused: stb_image would take the missing colours from
// memory it never wrote.
Decoded Decode(std::span<const unsigned char> file);

// The differences from stb_image this project intends, each named for what the file shows.
enum class Difference {
  None,              // no difference: both refuse, or both take it and agree on every pixel
  CutShort,          // the file ends inside its headers or pixel array: stb_image reads zeros
                     // for what is missing; we refuse it as damaged
  OtherBitDepth,     // not one bit per pixel: stb_image decodes 4, 8, 16, 24 and 32 bits
  CompressionBit31,  // a compression code with bit 31 set: stb_image reads it as a negative
                     // number, which it takes for no compression
  NoPixels,          // a width or height of 0: stb_image returns an empty picture; we
                     // refuse it, as there is nothing to draw
  NoPaletteRoom,     // fewer than 8 bytes between the header's end and the pixels: stb_image
                     // needs two palette entries there; we never use the palette
  Os2Palette,        // a one-bit OS/2 picture (12-byte header) whose palette stb_image
                     // miscounts: it takes (offset - 38) / 3 entries, as if the header were
                     // 24 bytes long, which is fewer than two for a palette of two right
                     // before the pixels; it would take their colours from memory it never
                     // wrote and its pixels from 6 bytes late. netpbm judges these instead.
  LargePalette,      // more than 1024 bytes there: stb_image takes them all for palette
                     // entries and refuses more than 256; we skip them
  Planes,            // planes other than 1: stb_image refuses; the field means nothing here
  UnknownHeaderSize, // a header of a size stb_image does not know (not 12, 40, 56, 108 or 124)
  LargeDimensions,   // a width or height above 2^24: stb_image refuses; we draw it
};
const char* DifferenceName(Difference difference);

struct Judgement {
  Difference difference = Difference::None;
  std::string fault;  // empty when the core and stb_image agree, or differ as intended
};

// The core's drawing with "@" as cells: '1' a set pixel, '0' a clear one, '\n' after each line.
std::string CellsOfDrawing(std::string drawnWithAt);

// Judges the core's verdict on `file` (`coreAccepted`) and, when it took the file, its
// drawing as cells, top line first.
Judgement Judge(std::span<const unsigned char> file, bool coreAccepted, const std::string& coreCells);

}  // namespace stb_judge
