// monosketch, run for real in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "bmp_fixture.h"
#include "program_runner.h"
#include "programs.h"
#include "reference_reading.h"

namespace {

using namespace sketch_text;

RunResult SketchOf(const Bytes& file) {
  TempFolder folder;
  folder.Write(kImage, file);
  return RunProgram(kMonosketch, folder.Path());
}

TEST(Sketch, WithoutTheFileSaysSoAndFails) {
  TempFolder folder;
  const RunResult r = RunProgram(kMonosketch, folder.Path());
  EXPECT_EQ(r.out, kCannotOpen);
  EXPECT_EQ(r.status, 255);
}

TEST(Sketch, AFolderInPlaceOfTheFileCannotBeOpened) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / kImage);
  const RunResult r = RunProgram(kMonosketch, folder.Path());
  EXPECT_EQ(r.out, kCannotOpen);
  EXPECT_EQ(r.status, 255);
}

TEST(Sketch, DrawsTheSample) {
  const Bytes sample = Sample();
  ASSERT_GT(sample.size(), 54U);
  const RunResult r = SketchOf(sample);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, reference::Drawing(sample, "@"));
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 32U);
  for (const std::string& line : lines) {
    EXPECT_GE(line.size(), 32U);
    EXPECT_EQ(line.size(), lines.front().size());
    EXPECT_EQ(line.find_first_not_of("@ "), std::string::npos);
  }
}

TEST(Sketch, FortyPixelWidePictureComesOutUnsheared) {
  // Each row has its one set pixel in a different column; a row stepped 5
  // bytes apart instead of 8 would move them.
  Art art(12, std::string(40, '.'));
  for (std::size_t y = 0; y < art.size(); ++y) art[y][y * 3] = '#';
  art[0] = std::string(40, '#');
  const RunResult r = SketchOf(BmpOfArt(art, false, 0xFF));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ArtText(art, "@"));
}

TEST(Sketch, TopDownPictureComesOutUpright) {
  const Art art{"#......#", ".#....#.", "..####.."};
  const RunResult r = SketchOf(BmpOfArt(art, true));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ArtText(art, "@"));
}

TEST(Sketch, RefusedFilesGetTheirMessage) {
  const Bytes good = BmpOfArt({"#.#.#.#.#", ".#.#.#.#."});
  struct Case {
    const char* what;
    Bytes file;
    const std::string& message;
  };
  Bytes eightBits = good;
  PutLe16(eightBits, 28, 8);
  Bytes huge = good;
  PutLe32(huge, 18, 65536);
  PutLe32(huge, 22, 65536);
  Bytes cut = good;
  cut.resize(good.size() - 1);
  const Case cases[] = {
      {"not a BMP", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, kNotMonochrome},
      {"empty file", Bytes{}, kNotMonochrome},
      {"eight bits per pixel", eightBits, kNotMonochrome},
      {"headers cut short", Bytes(good.begin(), good.begin() + 30), kDamaged},
      {"pixels cut short", cut, kDamaged},
      {"huge dimensions in a tiny file", huge, kDamaged},
  };
  for (const Case& c : cases) {
    const RunResult r = SketchOf(c.file);
    EXPECT_EQ(r.out, c.message) << c.what;
    EXPECT_EQ(r.status, 255) << c.what;
  }
}

// monosketch never waits for a key: after each failure it ends at once, though its
// standard input stays open (a pipe the test never writes to, so a read would block).
TEST(Sketch, FailuresEndAtOnceWithInputOpen) {
  Bytes eightBits = BmpOfArt({"#.#.#.#.#", ".#.#.#.#."});
  PutLe16(eightBits, 28, 8);
  Bytes cut = BmpOfArt({"#.#.#.#.#", ".#.#.#.#."});
  cut.pop_back();
  struct Case {
    const char* what;
    std::optional<Bytes> file;  // nothing: no file at all
    const std::string& message;
  };
  const Case cases[] = {
      {"no file", std::nullopt, kCannotOpen},
      {"a refused file", eightBits, kNotMonochrome},
      {"a damaged file", cut, kDamaged},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    if (c.file) folder.Write(kImage, *c.file);
    Program sketch(kMonosketch, folder.Path());
    EXPECT_TRUE(sketch.EndsWithin(10)) << c.what << ": still running, its input open";
    const RunResult r = sketch.Finish(10);
    EXPECT_EQ(r.out, c.message) << c.what;
    EXPECT_EQ(r.status, 255) << c.what;
  }
}

}  // namespace
