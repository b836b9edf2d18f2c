#include "character_art.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "bmp_fixture.h"
#include "capture.h"

namespace {

BitmapInfoHeader Info(std::uint32_t width, std::uint32_t height) {
  BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  return h;
}

std::string Draw(const Bytes& pixels, const BitmapInfoHeader& info, std::string_view glyph, bool* drawn = nullptr) {
  return Captured([&](std::FILE* out) {
    const bool result = CharacterArt(out, pixels.data(), pixels.size(), info, glyph);
    if (drawn != nullptr) *drawn = result;
  });
}

// A deterministic picture of `width` x `height` whose rows all differ.
Art Pattern(std::size_t width, std::size_t height) {
  Art art(height, std::string(width, '.'));
  unsigned seed = 12345;
  for (auto& row : art) {
    for (auto& c : row) {
      seed = seed * 1103515245U + 12345U;
      if ((seed >> 16) % 3 == 0) c = '#';
    }
  }
  return art;
}

TEST(CharacterArtTest, SixteenByTwoDrawsTopRowFirst) {
  // Stored bottom row first: row 0 is FF 00, row 1 is 81 01, each padded to 4 bytes.
  const Bytes pixels{0xFF, 0x00, 0xEE, 0xEE, 0x81, 0x01, 0xEE, 0xEE};
  EXPECT_EQ(Draw(pixels, Info(16, 2), "@"),
            "@      @       @\n"
            "@@@@@@@@        \n");
}

TEST(CharacterArtTest, AllSetDrawsFullRows) {
  const Bytes pixels(std::size_t{3} * 8, 0xFF);
  const std::string row = std::string(40, '@') + "\n";
  EXPECT_EQ(Draw(pixels, Info(40, 3), "@"), row + row + row);
}

struct WidthCase {
  std::size_t width;
  std::size_t height;
  bool topDown;
  std::string_view glyph = "@";
};

class Widths : public testing::TestWithParam<WidthCase> {};

// Every width draws exactly `width` pixels a row, each row from bit 7 of its
// first byte; padding (filled with set bits here) never shows.
TEST_P(Widths, DrawsEachRowWhole) {
  const WidthCase& c = GetParam();
  const Art art = Pattern(c.width, c.height);
  const Bytes pixels = PixelArray(art, c.topDown, 0xFF);
  const auto rows = static_cast<std::uint32_t>(c.height);
  const BitmapInfoHeader info = Info(static_cast<std::uint32_t>(c.width), c.topDown ? 0U - rows : rows);
  const std::string glyph(c.glyph);
  EXPECT_EQ(Draw(pixels, info, glyph), ArtText(art, glyph));
}

const std::string_view kBlockGlyph = "\xE2\x96\x88";

INSTANTIATE_TEST_SUITE_P(Pictures, Widths,
                         testing::Values(WidthCase{1, 5, false}, WidthCase{8, 5, false}, WidthCase{9, 5, false},
                                         WidthCase{32, 32, false}, WidthCase{40, 7, false},
                                         WidthCase{127, 4, false}, WidthCase{1, 5, true},
                                         WidthCase{9, 5, true}, WidthCase{40, 7, true},
                                         WidthCase{127, 4, true},
                                         // Rows of 1100 whole pixel bytes and five pixels more:
                                         // each row is expanded in several steps of output space.
                                         WidthCase{8805, 3, false}, WidthCase{8805, 3, false, kBlockGlyph}),
                         [](const testing::TestParamInfo<WidthCase>& info) {
                           const WidthCase& c = info.param;
                           return "width_" + std::to_string(c.width) + "_by_" + std::to_string(c.height) +
                                  (c.topDown ? "_top_down_" : "_bottom_up_") + std::to_string(c.glyph.size()) +
                                  "_byte_glyph";
                         });

TEST(CharacterArtTest, MultiByteGlyph) {
  const Art art{"#.#", ".#."};
  const std::string block = "\xE2\x96\x88";
  EXPECT_EQ(Draw(PixelArray(art), Info(3, 2), block), ArtText(art, block));
}

TEST(CharacterArtTest, LargePictureCrossesOutputChunks) {
  const Art art = Pattern(1000, 300);
  EXPECT_EQ(Draw(PixelArray(art), Info(1000, 300), "\xE2\x96\x88"), ArtText(art, "\xE2\x96\x88"));
}

TEST(CharacterArtTest, RefusesWhatItCannotDrawSafely) {
  struct Case {
    const char* what;
    Bytes pixels;
    BitmapInfoHeader info;
    std::string glyph;
  };
  const Case cases[] = {
      {"buffer one byte short", Bytes(7), Info(40, 1), "@"},
      {"bottom-up buffer short by a row", Bytes(8), Info(16, 3), "@"},
      {"top-down buffer short", Bytes(8), Info(16, 0xFFFFFFFDU), "@"},
      {"width 0", Bytes(8), Info(0, 2), "@"},
      {"negative width", Bytes(8), Info(0xFFFFFFF0U, 1), "@"},
      {"empty glyph", Bytes(8), Info(8, 1), ""},
      {"glyph too long", Bytes(8), Info(8, 1), "@@@@@"},
      {"four-byte character", Bytes(8), Info(8, 1), "\xF0\x9F\x80\xB0"},
  };
  for (const Case& c : cases) {
    bool drawn = true;
    EXPECT_EQ(Draw(c.pixels, c.info, c.glyph, &drawn), "") << c.what;
    EXPECT_FALSE(drawn) << c.what;
  }
}

TEST(CharacterArtTest, HeightZeroDrawsNothing) {
  bool drawn = false;
  EXPECT_EQ(Draw(Bytes{}, Info(8, 0), "@", &drawn), "");
  EXPECT_TRUE(drawn);
}

}  // namespace
