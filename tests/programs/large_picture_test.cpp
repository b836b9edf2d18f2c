// Both programs on pictures whose files are longer than 4 GiB: a pixel array larger than a
// 32-bit system's memory, and pixels that lie beyond 2 and 4 GiB into the file. The files
// are sparse: the headers and the pixel bytes are written, and the rest of the length is
// a hole that reads as zeros and takes no disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bmp_fixture.h"
#include "inspection.h"
#include "program_runner.h"
#include "programs.h"
#include "reference_reading.h"

namespace {

constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

// Bytes to write at a place in a file.
struct Piece {
  std::uint64_t at = 0;
  Bytes bytes;
};

// Makes `path` a file of `length` bytes holding `pieces`, zeros elsewhere. The calls take
// 64-bit positions by name (open64, ftruncate64, pwrite64), so a 32-bit build reaches
// beyond 2 GiB without _FILE_OFFSET_BITS=64, which would change struct stat under
// GoogleTest's inline functions in this file alone.
bool WriteSparse(const std::filesystem::path& path, std::uint64_t length, const std::vector<Piece>& pieces) {
  const int fd = open64(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = ftruncate64(fd, static_cast<off64_t>(length)) == 0;
  for (const Piece& piece : pieces) {
    const ssize_t n = pwrite64(fd, piece.bytes.data(), piece.bytes.size(), static_cast<off64_t>(piece.at));
    written = written && n == static_cast<ssize_t>(piece.bytes.size());
  }
  return close(fd) == 0 && written;
}

// The 62 bytes before the pixels of a one-bit picture of `width` x `height`: the file
// header, a BITMAPINFOHEADER and two palette entries, with the pixels at `pixelOffset`.
// The file-size field holds the low 32 bits of a longer file's length; neither program
// reads it but to report it.
Bytes Headers(std::uint32_t width, std::uint32_t height, std::uint32_t pixelOffset, std::uint64_t fileLength) {
  BmpFields fields;
  fields.width = width;
  fields.height = height;
  Bytes headers = BuildBmp(fields, Bytes{});
  PutLe32(headers, 2, static_cast<std::uint32_t>(fileLength));
  PutLe32(headers, 10, pixelOffset);
  return headers;
}

// What these pictures make a program print is a few lines; one that went on to list or
// draw a picture of gigabytes would print gigabytes, so no more than this is kept.
constexpr std::size_t kMostOutput = std::size_t{64} * 1024;

struct CappedRun {
  std::string out;
  int status = -1;
  bool cut = false;  // it printed kMostOutput bytes or more, and was killed
};

// `run` printed `expected` and ended with `status`; `program` names it in a failure.
void ExpectRun(const char* program, const CappedRun& run, const std::string& expected, int status) {
  if (run.cut) {
    ADD_FAILURE() << program << " printed " << kMostOutput << " bytes or more, starting with "
                  << testing::PrintToString(run.out);
  } else {
    EXPECT_EQ(run.out, expected) << program;
  }
  EXPECT_EQ(run.status, status) << program;
}

// Runs `program` in `folder` with its input at its end, so that a wait for a key ends at once.
CappedRun RunCapped(const std::string& program, const std::filesystem::path& folder) {
  Program run(program, folder);
  run.CloseInput();
  CappedRun result;
  result.out = run.OutputOnceItHolds(kMostOutput, 120);
  if (result.out.size() >= kMostOutput) {
    result.out.resize(400);
    result.cut = true;
    return result;  // the Program kills it
  }
  const RunResult finished = run.Finish(120);
  result.out = finished.out;
  result.status = finished.status;
  return result;
}

// 65536 x 524289 pixels: 524289 rows of 8192 bytes, 4 GiB and one row more, in a file of
// exactly the length that holds them. Where size_t has 32 bits, no buffer can hold them:
// both programs must say that memory runs out, before allocating anything or reading a pixel.
TEST(LargePicture, PixelArrayLargerThanTheAddressSpaceIsOutOfMemory) {
  constexpr std::uint32_t kWidth = 65536;
  constexpr std::uint32_t kHeight = 524289;
  const reference::Fields declared = reference::ReadFields(Headers(kWidth, kHeight, 62, 0));
  const std::uint64_t length = declared.pixelOffset + reference::RowBytes(declared) * reference::Rows(declared);
  const Bytes headers = Headers(kWidth, kHeight, 62, length);
  const reference::Fields fields = reference::ReadFields(headers);
  const std::uint64_t pixelBytes = reference::RowBytes(fields) * reference::Rows(fields);
  ASSERT_EQ(fields.pixelOffset, headers.size());
  ASSERT_GT(pixelBytes, kFourGiB);
  if (sizeof(std::size_t) > sizeof(std::uint32_t)) {
    GTEST_SKIP() << "size_t has " << sizeof(std::size_t) * 8 << " bits here: the programs would allocate the "
                 << pixelBytes << " bytes and draw them; a 32-bit build (armhf) runs this";
  }
  TempFolder folder;
  ASSERT_TRUE(WriteSparse(folder.Path() / kImage, length, {{0, headers}}));

  ExpectRun("monosketch", RunCapped(kMonosketch, folder.Path()), sketch_text::kNoMemory, 255);
  ExpectRun("monolook", RunCapped(kMonolook, folder.Path()), inspection::Report(headers) + look_text::kNoMemory, 255);
}

// A picture of 40 x 4 pixels whose 32 bytes of pixels start 16 bytes before the file's
// 4 GiB mark: the programs seek beyond 2 GiB, then read across 4 GiB to the file's end,
// and draw it as any other picture. Every build runs it.
TEST(LargePicture, PixelsBeyondTwoAndFourGiBIntoTheFileAreDrawn) {
  const Art art{"#.......#.......#.......#.......#.......",
                ".##.....##.....##.....##.....##.....##..",
                "...###.....###.....###.....###.....###..",
                "#######################################."};
  const Bytes pixels = PixelArray(art);
  const std::uint64_t offset = kFourGiB - 16;
  const std::uint64_t length = offset + pixels.size();
  const Bytes headers =
      Headers(static_cast<std::uint32_t>(art.front().size()), static_cast<std::uint32_t>(art.size()),
              static_cast<std::uint32_t>(offset), length);
  const reference::Fields fields = reference::ReadFields(headers);
  ASSERT_EQ(fields.pixelOffset, offset);
  ASSERT_EQ(reference::RowBytes(fields) * reference::Rows(fields), pixels.size());
  ASSERT_GT(length, kFourGiB);
  TempFolder folder;
  ASSERT_TRUE(WriteSparse(folder.Path() / kImage, length, {{0, headers}, {offset, pixels}}));
  const std::string cells = reference::CellsOfPixels(pixels, fields);

  ExpectRun("monosketch", RunCapped(kMonosketch, folder.Path()), reference::DrawingOfCells(cells, "@"), 0);
  CappedRun look = RunCapped(kMonolook, folder.Path());
  look.out = inspection::Masked(look.out);
  ExpectRun("monolook", look,
            inspection::Report(headers) + inspection::ListingOfPixels(pixels) +
                reference::DrawingOfCells(cells, kBlock) + look_text::kAuthor,
            0);
}

}  // namespace
