#include "bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>

#include "bmp_fixture.h"
#include "program_runner.h"

namespace {

// An open stream holding `bytes`, positioned at its start; closed with the object.
class MemoryFile {
 public:
  explicit MemoryFile(const Bytes& bytes) : file_(std::tmpfile()) {
    if (file_ != nullptr && !bytes.empty()) (void)std::fwrite(bytes.data(), 1, bytes.size(), file_);
    if (file_ != nullptr) std::rewind(file_);
  }
  ~MemoryFile() {
    if (file_ != nullptr) (void)std::fclose(file_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

TEST(HeaderDecoding, ReadsEveryFieldLittleEndian) {
  Bytes bytes(54);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i + 1);
  const BitmapFileHeader f = DecodeFileHeader(bytes.data());
  const BitmapInfoHeader h = DecodeInfoHeader(bytes.data() + 14);
  EXPECT_EQ(f.signature, 0x0201);
  EXPECT_EQ(f.fileSize, 0x06050403U);
  EXPECT_EQ(f.reserved1, 0x0807);
  EXPECT_EQ(f.reserved2, 0x0A09);
  EXPECT_EQ(f.pixelOffset, 0x0E0D0C0BU);
  EXPECT_EQ(h.headerSize, 0x1211100FU);
  EXPECT_EQ(h.width, 0x16151413U);
  EXPECT_EQ(h.height, 0x1A191817U);
  EXPECT_EQ(h.planes, 0x1C1B);
  EXPECT_EQ(h.bitsPerPixel, 0x1E1D);
  EXPECT_EQ(h.compression, 0x2221201FU);
  EXPECT_EQ(h.imageSize, 0x26252423U);
  EXPECT_EQ(h.xPixelsPerMeter, 0x2A292827U);
  EXPECT_EQ(h.yPixelsPerMeter, 0x2E2D2C2BU);
  EXPECT_EQ(h.coloursUsed, 0x3231302FU);
  EXPECT_EQ(h.coloursImportant, 0x36353433U);
}

// Every field's low-order bytes have their high bit set, its top byte not: a
// decoder that widens a byte with its sign would turn the bytes above it into 0xFF.
TEST(HeaderDecoding, HighBytesDoNotSignExtend) {
  // The sizes of the sixteen fields, in file order: the file header, then the information header.
  const std::size_t sizes[] = {2, 4, 2, 2, 4, 4, 4, 4, 2, 2, 4, 4, 4, 4, 4, 4};
  Bytes bytes;
  for (std::size_t field = 0; field < std::size(sizes); ++field) {
    for (std::size_t i = 0; i + 1 < sizes[field]; ++i) {
      bytes.push_back(static_cast<unsigned char>(0x80 + 0x10 * i + field));
    }
    bytes.push_back(static_cast<unsigned char>(0x10 + field));
  }
  ASSERT_EQ(bytes.size(), 54U);
  const BitmapFileHeader f = DecodeFileHeader(bytes.data());
  const BitmapInfoHeader h = DecodeInfoHeader(bytes.data() + 14);
  EXPECT_EQ(f.signature, 0x1080);
  EXPECT_EQ(f.fileSize, 0x11A19181U);
  EXPECT_EQ(f.reserved1, 0x1282);
  EXPECT_EQ(f.reserved2, 0x1383);
  EXPECT_EQ(f.pixelOffset, 0x14A49484U);
  EXPECT_EQ(h.headerSize, 0x15A59585U);
  EXPECT_EQ(h.width, 0x16A69686U);
  EXPECT_EQ(h.height, 0x17A79787U);
  EXPECT_EQ(h.planes, 0x1888);
  EXPECT_EQ(h.bitsPerPixel, 0x1989);
  EXPECT_EQ(h.compression, 0x1AAA9A8AU);
  EXPECT_EQ(h.imageSize, 0x1BAB9B8BU);
  EXPECT_EQ(h.xPixelsPerMeter, 0x1CAC9C8CU);
  EXPECT_EQ(h.yPixelsPerMeter, 0x1DAD9D8DU);
  EXPECT_EQ(h.coloursUsed, 0x1EAE9E8EU);
  EXPECT_EQ(h.coloursImportant, 0x1FAF9F8FU);
}

TEST(ReadHeadersTest, WholeShortAndUnreadableFiles) {
  BitmapFileHeader f;
  BitmapInfoHeader h;
  {
    MemoryFile file(BmpOfArt({"#.", ".#"}));
    EXPECT_EQ(ReadHeaders(file.get(), f, h), HeaderRead::Whole);
    EXPECT_TRUE(HasBmpSignature(f));
    EXPECT_EQ(f.pixelOffset, 62U);
    EXPECT_EQ(h.width, 2U);
    EXPECT_EQ(h.height, 2U);
    EXPECT_EQ(h.bitsPerPixel, 1);
  }
  {
    Bytes cut = BmpOfArt({"#."});
    cut.resize(18);  // the file header and the information header's size field
    MemoryFile file(cut);
    EXPECT_EQ(ReadHeaders(file.get(), f, h), HeaderRead::Short);
    EXPECT_TRUE(HasBmpSignature(f));
    EXPECT_EQ(h.width, 0U) << "bytes past the end read as zero";
  }
  {
    MemoryFile file(Bytes{});
    EXPECT_EQ(ReadHeaders(file.get(), f, h), HeaderRead::Short);
    EXPECT_EQ(f.signature, 0);
  }
  {
    TempFolder folder;
    std::FILE* dir = std::fopen(folder.Path().c_str(), "rb");
    if (dir == nullptr) GTEST_SKIP() << "this system does not open folders as files";
    EXPECT_EQ(ReadHeaders(dir, f, h), HeaderRead::ReadError);
    (void)std::fclose(dir);
  }
}

// An OS/2 1.x header holds 16-bit fields where a Windows one holds 32-bit ones: a
// width of 0x8182 beside a height of 0x8384 would read as one number in the Windows
// layout, and each field's high byte, 0x81 or 0x83, must not widen with a sign.
TEST(ReadHeadersTest, Os2HeaderOfTwelveBytes) {
  Bytes os2(30, 0);
  const unsigned char header[] = {'B', 'M', 30, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0,  // file header
                                  12, 0, 0, 0, 0x82, 0x81, 0x84, 0x83, 1, 0, 1, 0};  // core header
  std::copy(std::begin(header), std::end(header), os2.begin());
  os2[26] = 0x77;  // the first palette byte: not a header field
  BitmapFileHeader f;
  BitmapInfoHeader h;
  {
    MemoryFile file(os2);
    EXPECT_EQ(ReadHeaders(file.get(), f, h), HeaderRead::Whole) << "a whole OS/2 file is shorter than 54 bytes";
    EXPECT_EQ(f.pixelOffset, 26U);
    EXPECT_EQ(h.headerSize, 12U);
    EXPECT_EQ(h.width, 0x8182U);
    EXPECT_EQ(h.height, 0x8384U);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitsPerPixel, 1);
    EXPECT_EQ(h.compression, 0U) << "an OS/2 header has no compression field";
    EXPECT_EQ(h.imageSize, 0U);
    EXPECT_EQ(h.coloursUsed, 0U);
    EXPECT_EQ(std::fgetc(file.get()), 0x77) << "the read stops at the end of the 12-byte header";
  }
  {
    os2.resize(25);  // the last byte of the bit count missing
    MemoryFile file(os2);
    EXPECT_EQ(ReadHeaders(file.get(), f, h), HeaderRead::Short);
    EXPECT_EQ(h.width, 0x8182U);
    EXPECT_EQ(h.bitsPerPixel, 1) << "the missing byte reads as zero";
  }
}

struct GeometryCase {
  std::uint32_t width;
  std::uint32_t height;
  std::uint64_t stride;
  std::uint64_t rows;
  std::uint64_t size;
};

class Geometry : public testing::TestWithParam<GeometryCase> {};

TEST_P(Geometry, StrideRowsAndSize) {
  const GeometryCase& c = GetParam();
  BitmapInfoHeader h;
  h.width = c.width;
  h.height = c.height;
  EXPECT_EQ(RowStride(c.width), c.stride);
  EXPECT_EQ(HeightRows(h), c.rows);
  EXPECT_EQ(PixelDataSize(h), c.size);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, Geometry,
    testing::Values(GeometryCase{1, 3, 4, 3, 12}, GeometryCase{8, 3, 4, 3, 12}, GeometryCase{9, 3, 4, 3, 12},
                    GeometryCase{32, 32, 4, 32, 128}, GeometryCase{33, 1, 8, 1, 8}, GeometryCase{40, 3, 8, 3, 24},
                    GeometryCase{127, 3, 16, 3, 48}, GeometryCase{16, 2, 4, 2, 8},
                    // Negative heights: top-down pictures of |height| rows.
                    GeometryCase{32, 0xFFFFFFE0U, 4, 32, 128}, GeometryCase{40, 0xFFFFFFFFU, 8, 1, 8},
                    GeometryCase{8, 0x80000000U, 4, 0x80000000U, 0x200000000ULL},
                    // Products beyond 32 bits are kept whole.
                    GeometryCase{0x7FFFFFFFU, 0x7FFFFFFFU, 0x10000000U, 0x7FFFFFFFU, 0x10000000ULL * 0x7FFFFFFFULL},
                    GeometryCase{65536, 524288, 8192, 524288, 0x100000000ULL}),
    [](const testing::TestParamInfo<GeometryCase>& info) {
      const auto height = static_cast<std::int32_t>(info.param.height);
      const std::string rows = height < 0 ? "minus_" + std::to_string(-static_cast<std::int64_t>(height))
                                          : std::to_string(height);
      return "width_" + std::to_string(info.param.width) + "_height_" + rows;
    });

struct CheckCase {
  // cppcheck-suppress unusedStructMember ; read by the test name generator of INSTANTIATE_TEST_SUITE_P below
  const char* name;
  void (*change)(BitmapFileHeader&, BitmapInfoHeader&);
  HeaderRead headerRead;
  std::int64_t lengthChange;  // added to the fixture's real length
  BitmapCheck expected;
};

// A 40 x 2 picture: stride 8, 16 pixel bytes at offset 62, 78 bytes in all.
BmpFields ValidFields() {
  BmpFields f;
  f.width = 40;
  f.height = 2;
  return f;
}

class Check : public testing::TestWithParam<CheckCase> {};

TEST_P(Check, Verdict) {
  const CheckCase& c = GetParam();
  const Bytes file = BuildBmp(ValidFields(), Bytes(16, 0x5A));
  ASSERT_EQ(file.size(), 78U);
  BitmapFileHeader f = DecodeFileHeader(file.data());
  BitmapInfoHeader h = DecodeInfoHeader(file.data() + 14);
  c.change(f, h);
  const auto length = static_cast<std::uint64_t>(78 + c.lengthChange);
  EXPECT_EQ(CheckBitmap(c.headerRead, f, h, length), c.expected);
}

using F = BitmapFileHeader;
using I = BitmapInfoHeader;

INSTANTIATE_TEST_SUITE_P(
    Files, Check,
    testing::Values(
        CheckCase{"valid", [](F&, I&) {}, HeaderRead::Whole, 0, BitmapCheck::Accepted},
        CheckCase{"extra_bytes_after", [](F&, I&) {}, HeaderRead::Whole, 100, BitmapCheck::Accepted},
        CheckCase{"lying_file_size", [](F& f, I&) { f.fileSize = 7; }, HeaderRead::Whole, 0,
                  BitmapCheck::Accepted},
        CheckCase{"top_down", [](F&, I& h) { h.height = 0xFFFFFFFEU; }, HeaderRead::Whole, 0,
                  BitmapCheck::Accepted},
        // A BITMAPV5HEADER, 124 bytes, its palette and pixels after it.
        CheckCase{"v5_header", [](F& f, I& h) { h.headerSize = 124; f.pixelOffset = 146; }, HeaderRead::Whole, 84,
                  BitmapCheck::Accepted},
        // Its colour masks at 54 would be drawn as pixels.
        CheckCase{"offset_inside_a_v5_header", [](F& f, I& h) { h.headerSize = 124; f.pixelOffset = 54; },
                  HeaderRead::Whole, 84, BitmapCheck::NotMonochromeBmp},
        CheckCase{"offset_one_short_of_a_v4_header", [](F& f, I& h) { h.headerSize = 108; f.pixelOffset = 121; },
                  HeaderRead::Whole, 84, BitmapCheck::NotMonochromeBmp},
        CheckCase{"v4_header_longer_than_the_file", [](F&, I& h) { h.headerSize = 108; }, HeaderRead::Whole, 0,
                  BitmapCheck::Damaged},
        CheckCase{"header_size_beyond_any_file", [](F&, I& h) { h.headerSize = 0xFFFFFFFFU; }, HeaderRead::Whole, 0,
                  BitmapCheck::Damaged},
        CheckCase{"any_planes", [](F&, I& h) { h.planes = 0; }, HeaderRead::Whole, 0, BitmapCheck::Accepted},
        CheckCase{"unreadable", [](F&, I&) {}, HeaderRead::ReadError, 0, BitmapCheck::Damaged},
        CheckCase{"headers_cut_short", [](F&, I&) {}, HeaderRead::Short, -60, BitmapCheck::Damaged},
        CheckCase{"cut_short_without_signature", [](F& f, I&) { f.signature = 0; }, HeaderRead::Short, -60,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"signature", [](F& f, I&) { f.signature = 0x4142; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        // OS/2 1.x: a 12-byte BITMAPCOREHEADER. A whole 1 x 1 picture is 36 bytes.
        CheckCase{"core_header", [](F&, I& h) { h.headerSize = 12; }, HeaderRead::Whole, 0, BitmapCheck::Accepted},
        CheckCase{"core_header_1x1_in_36_bytes",
                  [](F& f, I& h) { h.headerSize = 12; h.width = 1; h.height = 1; f.pixelOffset = 32; },
                  HeaderRead::Whole, 36 - 78, BitmapCheck::Accepted},
        CheckCase{"core_header_pixels_right_after_it",
                  [](F& f, I& h) { h.headerSize = 12; h.width = 1; h.height = 1; f.pixelOffset = 26; },
                  HeaderRead::Whole, 30 - 78, BitmapCheck::Accepted},
        CheckCase{"core_header_offset_inside_it", [](F& f, I& h) { h.headerSize = 12; f.pixelOffset = 25; },
                  HeaderRead::Whole, 0, BitmapCheck::NotMonochromeBmp},
        CheckCase{"core_header_cut_short", [](F&, I& h) { h.headerSize = 12; }, HeaderRead::Short, 25 - 78,
                  BitmapCheck::Damaged},
        CheckCase{"core_header_24_bits", [](F&, I& h) { h.headerSize = 12; h.bitsPerPixel = 24; },
                  HeaderRead::Whole, 0, BitmapCheck::NotMonochromeBmp},
        CheckCase{"core_header_1x1_pixels_cut_short",
                  [](F& f, I& h) { h.headerSize = 12; h.width = 1; h.height = 1; f.pixelOffset = 32; },
                  HeaderRead::Whole, 35 - 78, BitmapCheck::Damaged},
        CheckCase{"ends_before_the_header_size", [](F&, I&) {}, HeaderRead::Short, 17 - 78, BitmapCheck::Damaged},
        CheckCase{"header_size_13", [](F&, I& h) { h.headerSize = 13; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"header_size_39", [](F&, I& h) { h.headerSize = 39; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        // A whole header of a kind not read here, in a file shorter than 54 bytes.
        CheckCase{"header_size_16_in_a_short_file", [](F&, I& h) { h.headerSize = 16; }, HeaderRead::Short,
                  40 - 78, BitmapCheck::NotMonochromeBmp},
        CheckCase{"header_size_40_cut_short", [](F&, I&) {}, HeaderRead::Short, 53 - 78, BitmapCheck::Damaged},
        CheckCase{"bits_0", [](F&, I& h) { h.bitsPerPixel = 0; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"bits_8", [](F&, I& h) { h.bitsPerPixel = 8; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"compressed", [](F&, I& h) { h.compression = 1; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"width_0", [](F&, I& h) { h.width = 0; }, HeaderRead::Whole, 0, BitmapCheck::NotMonochromeBmp},
        CheckCase{"width_negative", [](F&, I& h) { h.width = 0xFFFFFFD8U; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"height_0", [](F&, I& h) { h.height = 0; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"offset_into_headers", [](F& f, I&) { f.pixelOffset = 53; }, HeaderRead::Whole, 0,
                  BitmapCheck::NotMonochromeBmp},
        CheckCase{"pixels_one_byte_short", [](F&, I&) {}, HeaderRead::Whole, -1, BitmapCheck::Damaged},
        CheckCase{"offset_past_end", [](F& f, I&) { f.pixelOffset = 0xFFFFFFF0U; }, HeaderRead::Whole, 0,
                  BitmapCheck::Damaged},
        CheckCase{"width_not_padded_in_file", [](F&, I& h) { h.width = 72; }, HeaderRead::Whole, 0,
                  BitmapCheck::Damaged},
        // 65536 x 65536 needs 512 MiB; its 32-bit pixel count wraps to 0.
        CheckCase{"product_wraps_32_bits", [](F&, I& h) { h.width = 65536; h.height = 65536; }, HeaderRead::Whole,
                  0, BitmapCheck::Damaged},
        // Stride times rows is exactly 2^32: 0 in 32 bits.
        CheckCase{"stride_times_rows_wraps_32_bits", [](F&, I& h) { h.width = 65536; h.height = 524288; },
                  HeaderRead::Whole, 0, BitmapCheck::Damaged},
        CheckCase{"largest_dimensions", [](F&, I& h) { h.width = 0x7FFFFFFFU; h.height = 0x7FFFFFFFU; },
                  HeaderRead::Whole, 0, BitmapCheck::Damaged},
        CheckCase{"most_negative_height", [](F&, I& h) { h.height = 0x80000000U; }, HeaderRead::Whole, 0,
                  BitmapCheck::Damaged},
        CheckCase{"largest_offset_and_size", [](F& f, I& h) { f.pixelOffset = 0xFFFFFFFFU; h.width = 0x7FFFFFFFU; },
                  HeaderRead::Whole, 0xFFFFFFFF, BitmapCheck::Damaged}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(LoadPixelsTest, LoadsTheStoredArrayFromTheOffset) {
  BmpFields fields = ValidFields();
  fields.pixelOffset = 70;  // eight bytes of something else before the pixels
  Bytes pixels(16);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(0xA0 + i);
  MemoryFile file(BuildBmp(fields, pixels));
  BitmapFileHeader f;
  BitmapInfoHeader h;
  ASSERT_EQ(ReadHeaders(file.get(), f, h), HeaderRead::Whole);
  EXPECT_EQ(FileLength(file.get()), std::optional<std::uint64_t>(86));
  ASSERT_EQ(CheckBitmap(HeaderRead::Whole, f, h, 86), BitmapCheck::Accepted);
  PixelBuffer buffer;
  ASSERT_EQ(LoadPixels(file.get(), f, PixelDataSize(h), buffer), LoadResult::Loaded);
  ASSERT_EQ(buffer.size, 16U);
  EXPECT_EQ(Bytes(buffer.data, buffer.data + buffer.size), pixels);
}

TEST(LoadPixelsTest, LoadsPixelArraysOfMegabytes) {
  // 4096 x 4200: 2,150,400 bytes, more than one 2 MiB huge page.
  BmpFields fields;
  fields.width = 4096;
  fields.height = 4200;
  Bytes pixels(std::size_t{512} * 4200);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 31 + i / 4093);
  MemoryFile file(BuildBmp(fields, pixels));
  BitmapFileHeader f;
  BitmapInfoHeader h;
  ASSERT_EQ(ReadHeaders(file.get(), f, h), HeaderRead::Whole);
  PixelBuffer buffer;
  ASSERT_EQ(LoadPixels(file.get(), f, PixelDataSize(h), buffer), LoadResult::Loaded);
  ASSERT_EQ(buffer.size, pixels.size());
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), buffer.data));
}

TEST(LoadPixelsTest, ShortReadLeavesNothingLoaded) {
  Bytes file = BuildBmp(ValidFields(), Bytes(16, 0x77));
  file.resize(file.size() - 3);
  MemoryFile stream(file);
  BitmapFileHeader f;
  BitmapInfoHeader h;
  ReadHeaders(stream.get(), f, h);
  PixelBuffer buffer;
  EXPECT_EQ(LoadPixels(stream.get(), f, PixelDataSize(h), buffer), LoadResult::Damaged);
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.size, 0U);
}

TEST(LoadPixelsTest, BufferMovesAndReleases) {
  MemoryFile file(BuildBmp(ValidFields(), Bytes(16, 0x11)));
  BitmapFileHeader f;
  BitmapInfoHeader h;
  ReadHeaders(file.get(), f, h);
  PixelBuffer first;
  ASSERT_EQ(LoadPixels(file.get(), f, 16, first), LoadResult::Loaded);
  PixelBuffer second(std::move(first));
  EXPECT_EQ(first.data, nullptr);  // NOLINT(bugprone-use-after-move): the moved-from state is what is checked
  ASSERT_NE(second.data, nullptr);
  EXPECT_EQ(second.data[15], 0x11);
  second.Release();
  EXPECT_EQ(second.data, nullptr);
  EXPECT_EQ(second.size, 0U);
}

}  // namespace
