#include "memory_listing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bmp_fixture.h"
#include "capture.h"

namespace {

std::string Heading(const unsigned char* block, std::uint64_t length) {
  char text[128];
  (void)std::snprintf(text, sizeof text, "Memory starting at 0x%08X: of length %llu bytes\n\n",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(block) & 0xFFFFFFFFU),
                static_cast<unsigned long long>(length));
  return text;
}

struct ListingCase {
  std::size_t length;
  std::string body;  // for bytes 0, 1, 2, ... in order
};

std::string Groups(std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) {
    char group[4];
    (void)std::snprintf(group, sizeof group, "%02X ", static_cast<unsigned>(i & 0xFF));
    text += group;
  }
  return text;
}

class Listing : public testing::TestWithParam<ListingCase> {};

TEST_P(Listing, HeadingThenSixteenGroupsALine) {
  const ListingCase& c = GetParam();
  Bytes block(c.length);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i);
  const std::string out = Captured([&](std::FILE* f) { MemoryListing(f, block.data(), block.size()); });
  EXPECT_EQ(out, Heading(block.data(), block.size()) + c.body);
}

std::string EightFullLines() {
  std::string text;
  for (std::size_t line = 0; line < 8; ++line) text += Groups(line * 16, line * 16 + 16) + "\n";
  return text;
}

INSTANTIATE_TEST_SUITE_P(Lengths, Listing,
                         testing::Values(ListingCase{1, "00 "},
                                         ListingCase{16, "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"},
                                         ListingCase{17, Groups(0, 16) + "\n10 "},
                                         ListingCase{128, EightFullLines()},
                                         ListingCase{300, [] {
                                           std::string text;
                                           for (std::size_t i = 0; i + 16 <= 300; i += 16) {
                                             text += Groups(i, i + 16) + "\n";
                                           }
                                           return text + Groups(288, 300);
                                         }()}),
                         [](const testing::TestParamInfo<ListingCase>& info) {
                           return "length_" + std::to_string(info.param.length);
                         });

TEST(ListingTest, UppercaseDigitsAndEveryByteValue) {
  const Bytes block{0xAB, 0xCD, 0xEF, 0x00, 0xFF, 0x0A};
  const std::string out = Captured([&](std::FILE* f) { MemoryListing(f, block.data(), block.size()); });
  EXPECT_EQ(out, Heading(block.data(), block.size()) + "AB CD EF 00 FF 0A ");
}

TEST(ListingTest, NothingForAnEmptyOrMissingBlock) {
  const Bytes block(16, 0x55);
  EXPECT_EQ(Captured([&](std::FILE* f) { MemoryListing(f, block.data(), 0); }), "");
  EXPECT_EQ(Captured([&](std::FILE* f) { MemoryListing(f, nullptr, 16); }), "");
}

TEST(ListingTest, LargeBlockCrossesOutputChunks) {
  Bytes block(100000);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 7);
  const std::string out = Captured([&](std::FILE* f) { MemoryListing(f, block.data(), block.size()); });
  std::string expected = Heading(block.data(), block.size());
  for (std::size_t i = 0; i < block.size(); ++i) {
    char group[4];
    (void)std::snprintf(group, sizeof group, "%02X ", block[i]);
    expected += group;
    if ((i + 1) % 16 == 0) expected += '\n';
  }
  EXPECT_EQ(out, expected);
}

}  // namespace
