// monolook, run for real in a temporary folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bmp_fixture.h"
#include "inspection.h"
#include "program_runner.h"
#include "programs.h"

namespace {

using namespace look_text;
using inspection::Inspection;
using inspection::Masked;
using inspection::Report;

RunResult LookAt(const Bytes& file, const std::string& input = "") {
  TempFolder folder;
  folder.Write(kImage, file);
  return RunProgram(kMonolook, folder.Path(), input);
}

TEST(Inspector, WithoutTheFileWaitsForAKeyAndFails) {
  TempFolder folder;
  Program look(kMonolook, folder.Path());
  EXPECT_TRUE(look.WaitsAfter(kCannotOpen, 10)) << "the message stays until a key is pressed";
  look.Send("x");
  const RunResult r = look.Finish(10);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.out, kCannotOpen);
  EXPECT_EQ(r.status, 255);
}

// Standard output is fully buffered, so text printed before the wait reaches the
// console only if it is flushed before the program starts waiting for the key.
TEST(Inspector, TheMessageStandsOnTheConsoleWhileItWaits) {
  Bytes file = BmpOfArt({"#.#", ".#."});
  PutLe16(file, 28, 8);  // eight bits per pixel: refused after the header report
  TempFolder folder;
  folder.Write(kImage, file);
  const std::string expected = Report(file) + kNotMonochrome;
  Program look(kMonolook, folder.Path());
  EXPECT_TRUE(look.WaitsAfter(expected, 10)) << "everything is on the console, and it waits for a key";
  look.Send("x");
  const RunResult r = look.Finish(10);
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.status, 255);
}

TEST(Inspector, WithoutTheFileAtEndOfInputEndsAtOnce) {
  TempFolder folder;
  const RunResult r = RunProgram(kMonolook, folder.Path());
  EXPECT_EQ(r.out, kCannotOpen);
  EXPECT_EQ(r.status, 255);
}

TEST(Inspector, AFolderInPlaceOfTheFileCannotBeOpened) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / kImage);
  const RunResult r = RunProgram(kMonolook, folder.Path(), "\n");
  EXPECT_EQ(r.out, kCannotOpen);
  EXPECT_EQ(r.status, 255);
}

TEST(Inspector, ThirtyTwoSquareInFiftySixLines) {
  Art art(32, std::string(32, '.'));
  for (std::size_t y = 0; y < 32; ++y) {
    art[y][y] = '#';
    art[y][31 - y] = '#';
  }
  const Bytes file = BmpOfArt(art);
  ASSERT_EQ(file.size(), 190U);
  const RunResult r = LookAt(file);
  EXPECT_EQ(r.status, 0);
  const std::string out = Masked(r.out);
  EXPECT_EQ(out, Inspection(file));

  const auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 56U);
  EXPECT_EQ(lines[0], "Informace o obrazku:");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "Nazev obrazku: intelww4.bmp");
  EXPECT_EQ(lines[3], "Velikost: 190 byte");
  EXPECT_EQ(lines[4], "Rozliseni(px): 32 x 32");
  EXPECT_EQ(lines[5], "Offset dat: 62");
  EXPECT_EQ(lines[6], "Barevna hloubka: 1");
  EXPECT_EQ(lines[7], "Pocet bitu na pixel: 1");
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[9], "Vypis pameti:");
  EXPECT_EQ(lines[10], "Memory starting at 0xXXXXXXXX: of length 128 bytes");
  EXPECT_EQ(lines[11], "");
  for (std::size_t i = 12; i < 20; ++i) {
    EXPECT_EQ(lines[i].size(), 48U) << "line " << i;
    EXPECT_EQ(lines[i].back(), ' ') << "line " << i;
  }
  EXPECT_EQ(lines[12], "80 00 00 01 40 00 00 02 20 00 00 04 10 00 00 08 ") << "bottom row first";
  EXPECT_EQ(lines[20], "");
  for (std::size_t i = 21; i < 53; ++i) EXPECT_EQ(lines[i].size(), 32 * kBlock.size() - std::size_t{30} * 2) << "line " << i;
  EXPECT_EQ(lines[21], kBlock + std::string(30, ' ') + kBlock);
  EXPECT_EQ(lines[53], "");
  EXPECT_EQ(lines[54], "Autor: Bc. Bremik Sotnar  - K52R7716T");
  EXPECT_EQ(lines[55], "");
}

TEST(Inspector, DrawsTheSample) {
  const Bytes sample = Sample();
  const RunResult r = LookAt(sample);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Masked(r.out), Inspection(sample));
}

TEST(Inspector, TopDownAndFortyWidePictures) {
  Art art(7, std::string(40, '.'));
  for (std::size_t y = 0; y < art.size(); ++y) art[y][y * 5 + 1] = '#';
  art[0].replace(30, 10, std::string(10, '#'));
  for (const bool topDown : {false, true}) {
    const Bytes file = BmpOfArt(art, topDown, 0xFF);
    const RunResult r = LookAt(file);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Masked(r.out), Inspection(file));
    EXPECT_NE(r.out.find(topDown ? "Rozliseni(px): 40 x -7\n" : "Rozliseni(px): 40 x 7\n"), std::string::npos);
    EXPECT_NE(r.out.find("of length 56 bytes"), std::string::npos) << "rows padded to 8 bytes";
    EXPECT_NE(r.out.find(ArtText(art, kBlock)), std::string::npos) << "top row first, unsheared";
  }
}

TEST(Inspector, RefusedFilesShowTheReportWhenTheyCanThenWait) {
  const Bytes good = BmpOfArt({"#.#.#.#.#", ".#.#.#.#."});
  Bytes eightBits = good;
  PutLe16(eightBits, 28, 8);
  Bytes compressed = good;
  PutLe32(compressed, 30, 1);
  Bytes huge = good;
  PutLe32(huge, 18, 65536);
  PutLe32(huge, 22, 65536);
  Bytes cut = good;
  cut.resize(good.size() - 1);
  Bytes notBm = good;
  notBm[0] = 'X';
  struct Case {
    const char* what;
    Bytes file;
    bool report;
    const std::string& message;
  };
  const Case cases[] = {
      {"eight bits per pixel", eightBits, true, kNotMonochrome},
      {"compressed", compressed, true, kNotMonochrome},
      {"pixels cut short", cut, true, kDamaged},
      {"huge dimensions in a tiny file", huge, true, kDamaged},
      {"wrong signature", notBm, false, kNotMonochrome},
      {"headers cut short", Bytes(good.begin(), good.begin() + 40), false, kDamaged},
      {"empty file", Bytes{}, false, kNotMonochrome},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    folder.Write(kImage, c.file);
    Program look(kMonolook, folder.Path());
    const std::string expected = (c.report ? Report(c.file) : std::string()) + c.message;
    EXPECT_TRUE(look.WaitsAfter(expected, 10)) << c.what << ": waits for a key after its message";
    look.Send("\n");
    const RunResult r = look.Finish(10);
    EXPECT_EQ(r.out, expected) << c.what;
    EXPECT_EQ(r.status, 255) << c.what;
  }
}

}  // namespace
