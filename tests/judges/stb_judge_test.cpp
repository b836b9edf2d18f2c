// The second judge, stb_image: each difference from it that this project intends is
// shown by one file on which the core and stb_image really differ that way, and a
// difference of any other kind is a fault.
#include "stb_judge.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bitmap.h"
#include "bmp_fixture.h"
#include "capture.h"
#include "character_art.h"
#include "reference_reading.h"

namespace {

using stb_judge::Difference;

// The core's verdict on a file, and when it takes it, its drawing with "@" as cells.
struct CoreResult {
  bool accepted = false;
  std::string cells;
};

CoreResult RunCore(Bytes file) {
  CoreResult result;
  std::FILE* stream = fmemopen(file.data(), file.size(), "rb");
  if (stream == nullptr) return result;
  BitmapFileHeader fileHeader;
  BitmapInfoHeader infoHeader;
  const HeaderRead read = ReadHeaders(stream, fileHeader, infoHeader);
  const std::optional<std::uint64_t> length = FileLength(stream);
  PixelBuffer pixels;
  result.accepted = length && CheckBitmap(read, fileHeader, infoHeader, *length) == BitmapCheck::Accepted &&
                    LoadPixels(stream, fileHeader, PixelDataSize(infoHeader), pixels) == LoadResult::Loaded;
  (void)std::fclose(stream);
  if (!result.accepted) return result;
  result.cells = stb_judge::CellsOfDrawing(Captured([&](std::FILE* out) {
    result.accepted = CharacterArt(out, pixels.data, pixels.size, infoHeader, "@");
  }));
  return result;
}

const Art& Picture() {
  static const Art art{"#.##.#.##.#.####", ".#..#.#..#.#....", "##########..#.#."};
  return art;
}

// The picture with the header fields of `fields` (width and height are the picture's).
Bytes WithFields(BmpFields fields) {
  fields.width = static_cast<std::uint32_t>(Picture().front().size());
  fields.height = static_cast<std::uint32_t>(Picture().size());
  return BuildBmp(fields, PixelArray(Picture()));
}

Bytes CutShort() {
  Bytes file = BmpOfArt(Picture());
  file.pop_back();
  return file;
}

// An 8-bit picture, 4 x 2, with two palette entries: white and black.
Bytes EightBits() {
  Bytes file(62, 0);
  const Bytes pixels{0, 1, 1, 0, 1, 0, 0, 1};
  file.insert(file.end(), pixels.begin(), pixels.end());
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 2, static_cast<std::uint32_t>(file.size()));
  PutLe32(file, 10, 62);
  PutLe32(file, 14, 40);
  PutLe32(file, 18, 4);
  PutLe32(file, 22, 2);
  PutLe16(file, 26, 1);
  PutLe16(file, 28, 8);
  file[54] = file[55] = file[56] = 0xFF;
  return file;
}

// An OS/2 bitmap: the 12-byte BITMAPCOREHEADER, three-byte palette entries, 16 x 12
// pixels, its pixel array `gap` bytes after the palette (none, as encoders write it).
Bytes Os2Picture(std::uint32_t gap = 0) {
  Bytes file(32 + gap, 0);
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 10, 32 + gap);
  PutLe32(file, 14, 12);
  PutLe16(file, 18, 16);
  PutLe16(file, 20, 12);
  PutLe16(file, 22, 1);
  PutLe16(file, 24, 1);
  file[26] = file[27] = file[28] = 0xFF;
  for (std::size_t row = 0; row < 12; ++row) {
    const Bytes stored{static_cast<unsigned char>(row * 17), 0xF0, 0, 0};
    file.insert(file.end(), stored.begin(), stored.end());
  }
  PutLe32(file, 2, static_cast<std::uint32_t>(file.size()));
  return file;
}

Bytes WithHeight(std::uint32_t height) {
  Bytes file = WithFields(BmpFields{});
  PutLe32(file, 22, height);
  return file;
}

// One row of 2^24 + 1 pixels, a few of them set.
Bytes WiderThanStbReads() {
  BmpFields fields;
  fields.width = (1U << 24) + 1;
  fields.height = 1;
  Bytes pixels(StrideOf(fields.width), 0);
  pixels[0] = 0xA0;
  pixels[(1U << 24) / 8] = 0x80;
  return BuildBmp(fields, pixels);
}

struct DifferenceCase {
  std::string name;
  Bytes file;
  bool coreAccepts;
  Difference difference;
};

void PrintTo(const DifferenceCase& c, std::ostream* out) { *out << c.name; }

std::vector<DifferenceCase> Cases() {
  return {
      {"cut_short", CutShort(), false, Difference::CutShort},
      {"eight_bits_per_pixel", EightBits(), false, Difference::OtherBitDepth},
      {"os2_palette_before_the_pixels", Os2Picture(), true, Difference::Os2Palette},
      {"os2_palette_and_3_bytes", Os2Picture(3), true, Difference::Os2Palette},
      {"compression_with_bit_31", WithFields({.compression = 0x80000000U}), false, Difference::CompressionBit31},
      {"height_0", WithHeight(0), false, Difference::NoPixels},
      {"no_palette", WithFields({.pixelOffset = 54}), true, Difference::NoPaletteRoom},
      {"one_palette_entry", WithFields({.pixelOffset = 58}), true, Difference::NoPaletteRoom},
      {"room_for_257_palette_entries", WithFields({.pixelOffset = 54 + 257 * 4}), true, Difference::LargePalette},
      {"planes_0", WithFields({.planes = 0}), true, Difference::Planes},
      {"header_of_64_bytes", WithFields({.pixelOffset = 14 + 64 + 8, .headerSize = 64}), true,
       Difference::UnknownHeaderSize},
      {"width_above_2_to_the_24", WiderThanStbReads(), true, Difference::LargeDimensions},
  };
}

class IntendedDifference : public testing::TestWithParam<DifferenceCase> {};

TEST_P(IntendedDifference, IsNamedAndNoFault) {
  const DifferenceCase& c = GetParam();
  const CoreResult core = RunCore(c.file);
  EXPECT_EQ(core.accepted, c.coreAccepts);
  // stb_image really does the opposite: a file cut short it fills with zeros.
  const stb_judge::Decoded decoded = stb_judge::Decode(c.file);
  EXPECT_EQ(decoded.decoded, !c.coreAccepts) << "stb_image: " << decoded.reason;
  const stb_judge::Judgement judgement = stb_judge::Judge(c.file, core.accepted, core.cells);
  EXPECT_EQ(stb_judge::DifferenceName(judgement.difference), std::string(stb_judge::DifferenceName(c.difference)));
  EXPECT_EQ(judgement.fault, "");
}

INSTANTIATE_TEST_SUITE_P(StbImage, IntendedDifference, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<DifferenceCase>& info) { return info.param.name; });

// stb_image counts an OS/2 palette as if the header were 24 bytes long: with 12 bytes or
// more between the palette and the pixels it reads both entries where they are, and its
// pixels must then agree with the core's like those of any other picture.
TEST(StbJudge, AgreesWithTheCoreOnEveryPixelOfAGoodPicture) {
  const Bytes files[] = {BmpOfArt(Picture(), false, 0xFF), BmpOfArt(Picture(), true, 0xFF), Os2Picture(12)};
  for (const Bytes& file : files) {
    const CoreResult core = RunCore(file);
    ASSERT_TRUE(core.accepted);
    ASSERT_TRUE(stb_judge::Decode(file).decoded);
    const stb_judge::Judgement judgement = stb_judge::Judge(file, true, core.cells);
    EXPECT_EQ(judgement.difference, Difference::None);
    EXPECT_EQ(judgement.fault, "");
  }
}

TEST(StbJudge, AnUnintendedDifferenceIsAFault) {
  const Bytes file = BmpOfArt(Picture());
  std::string cells = RunCore(file).cells;
  ASSERT_FALSE(cells.empty());
  cells[2] = cells[2] == '1' ? '0' : '1';  // line 0, column 2 drawn wrong
  EXPECT_NE(stb_judge::Judge(file, true, cells).fault.find("differs at pixel (2, 0)"), std::string::npos);

  const Bytes os2 = Os2Picture(12);  // an OS/2 picture whose palette stb_image counts
  std::string os2Cells = RunCore(os2).cells;
  ASSERT_FALSE(os2Cells.empty());
  os2Cells[0] = os2Cells[0] == '1' ? '0' : '1';
  EXPECT_NE(stb_judge::Judge(os2, true, os2Cells).fault.find("differs at pixel (0, 0)"), std::string::npos);

  // A pixel array inside a BITMAPV5HEADER, were the core to draw it.
  BmpFields fields;
  fields.headerSize = 124;
  fields.pixelOffset = 54;
  Bytes inside = WithFields(fields);
  inside.resize(14 + 124 + 8 + 12, 0x5A);
  EXPECT_FALSE(RunCore(inside).accepted);
  const std::string drawn = reference::CellsOfPixels(std::span<const unsigned char>(inside).subspan(54),
                                                     reference::ReadFields(inside));
  ASSERT_FALSE(drawn.empty());
  EXPECT_NE(stb_judge::Judge(inside, true, drawn).fault.find("no intended difference"), std::string::npos);

  EXPECT_NE(stb_judge::Judge(CutShort(), true, cells).fault, "") << "a file cut short is never drawn";
}

}  // namespace
