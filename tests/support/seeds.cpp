#include "seeds.h"

#include <cstdint>

namespace {

// A picture whose rows all differ, so a row drawn from the wrong place shows.
Art Pattern(std::size_t width, std::size_t height) {
  Art art(height, std::string(width, '.'));
  unsigned state = 2463534242U;
  for (auto& row : art) {
    for (auto& pixel : row) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      if ((state & 3U) == 0) pixel = '#';
    }
  }
  return art;
}

Bytes WithField32(Bytes file, std::size_t at, std::uint32_t value) {
  PutLe32(file, at, value);
  return file;
}

Bytes WithField16(Bytes file, std::size_t at, std::uint16_t value) {
  PutLe16(file, at, value);
  return file;
}

Bytes Cut(Bytes file, std::size_t length) {
  file.resize(length);
  return file;
}

}  // namespace

std::vector<FuzzSeed> FuzzSeeds() {
  const Bytes checker = BmpOfArt({"#.#.#.#.#", ".#.#.#.#."});

  BmpFields gap;  // eight other bytes between the palette and the pixels
  gap.width = 12;
  gap.height = 3;
  gap.pixelOffset = 70;
  BmpFields large;  // a 124-byte information header, its palette after it
  large.width = 16;
  large.height = 2;
  large.headerSize = 124;
  large.pixelOffset = 14 + 124 + 8;
  BmpFields v4 = large;  // a 108-byte one, top-down
  v4.headerSize = 108;
  v4.pixelOffset = 14 + 108 + 8;
  v4.width = 21;
  v4.height = 0U - 5U;

  return {
      {"dot_1x1.bmp", BmpOfArt({"#"}), CorePathEnd::Drawn},
      {"checker_9x2.bmp", checker, CorePathEnd::Drawn},
      {"pattern_8x8_top_down.bmp", BmpOfArt(Pattern(8, 8), true), CorePathEnd::Drawn},
      {"pattern_33x5_padded.bmp", BmpOfArt(Pattern(33, 5), false, 0xFF), CorePathEnd::Drawn},
      {"pattern_40x7_top_down_padded.bmp", BmpOfArt(Pattern(40, 7), true, 0xA5), CorePathEnd::Drawn},
      {"pattern_72x12.bmp", BmpOfArt(Pattern(72, 12)), CorePathEnd::Drawn},
      // Drawn, it fills more than one output chunk (64 KiB) with every glyph, and
      // it lets the fuzzer make inputs of that size.
      {"pattern_1024x64.bmp", BmpOfArt(Pattern(1024, 64)), CorePathEnd::Drawn},
      // Rows of more than 4096 pixels: each is more than one run of bytes that the
      // drawing expands at a time, and ends in a partly used byte.
      {"pattern_4100x3_padded.bmp", BmpOfArt(Pattern(4100, 3), false, 0xFF), CorePathEnd::Drawn},
      {"pattern_5001x2_top_down_padded.bmp", BmpOfArt(Pattern(5001, 2), true, 0x5A), CorePathEnd::Drawn},
      {"gap_before_pixels.bmp", BuildBmp(gap, PixelArray(Pattern(12, 3))), CorePathEnd::Drawn},
      {"info_header_124.bmp", BuildBmp(large, PixelArray(Pattern(16, 2))), CorePathEnd::Drawn},
      {"info_header_108_top_down.bmp", BuildBmp(v4, PixelArray(Pattern(21, 5), true)), CorePathEnd::Drawn},
      // OS/2 1.x pictures: a 12-byte header, three-byte palette entries. stb_image
      // judges the pixels of the one with a gap, whose palette it counts right.
      {"os2_1x1.bmp", Os2BmpOfArt({"#"}), CorePathEnd::Drawn},
      {"os2_33x5.bmp", Os2BmpOfArt(Pattern(33, 5)), CorePathEnd::Drawn},
      {"os2_16x4_gap_12.bmp", Os2BmpOfArt(Pattern(16, 4), 12), CorePathEnd::Drawn},
      {"os2_cut_in_header.bmp", Cut(Os2BmpOfArt(Pattern(16, 4)), 24), CorePathEnd::Refused},
      {"os2_eight_bits.bmp", WithField16(Os2BmpOfArt(Pattern(16, 4)), 24, 8), CorePathEnd::Refused},
      {"offset_inside_info_header_124.bmp", WithField32(BuildBmp(large, PixelArray(Pattern(16, 2))), 10, 54),
       CorePathEnd::Refused},
      {"eight_bits.bmp", WithField16(checker, 28, 8), CorePathEnd::Refused},
      {"compressed.bmp", WithField32(checker, 30, 1), CorePathEnd::Refused},
      {"offset_in_headers.bmp", WithField32(checker, 10, 40), CorePathEnd::Refused},
      {"huge_dimensions.bmp", WithField32(WithField32(checker, 18, 65536), 22, 65536), CorePathEnd::Refused},
      {"cut_in_pixels.bmp", Cut(checker, checker.size() - 1), CorePathEnd::Refused},
      {"cut_in_headers.bmp", Cut(checker, 30), CorePathEnd::Refused},
      {"not_a_bmp.txt", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '\n'},
       CorePathEnd::Refused},
      {"empty", Bytes{}, CorePathEnd::Refused},
  };
}
