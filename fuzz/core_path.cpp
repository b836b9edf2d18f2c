#include "core_path.h"

#include <sys/types.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "bitmap.h"
#include "character_art.h"
#include "memory_listing.h"

namespace {

// A read-only stream over bytes in memory, with the seeking a real file has.
struct MemoryInput {
  const unsigned char* data;
  std::size_t size;
  std::size_t at;
};

ssize_t ReadInput(void* cookie, char* buffer, std::size_t count) {
  auto* input = static_cast<MemoryInput*>(cookie);
  const std::size_t left = input->size - input->at;
  const std::size_t n = count < left ? count : left;
  if (n > 0) std::memcpy(buffer, input->data + input->at, n);
  input->at += n;
  return static_cast<ssize_t>(n);
}

int SeekInput(void* cookie, off64_t* offset, int whence) {
  auto* input = static_cast<MemoryInput*>(cookie);
  std::int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<std::int64_t>(input->at);
  if (whence == SEEK_END) base = static_cast<std::int64_t>(input->size);
  // Offsets of a fuzzer's input are small; one past the 63-bit range is refused.
  if ((*offset > 0 && base > INT64_MAX - *offset) || base + *offset < 0) return -1;
  const std::int64_t target = base + *offset;
  // Seeking past the end is allowed, as on a file; reads there find nothing.
  input->at = static_cast<std::uint64_t>(target) < input->size ? static_cast<std::size_t>(target) : input->size;
  *offset = target;
  return 0;
}

std::FILE* OpenInput(MemoryInput& input) {
  cookie_io_functions_t functions{};
  functions.read = ReadInput;
  functions.seek = SeekInput;
  return fopencookie(&input, "rb", functions);
}

// An output that keeps nothing but the number of bytes and of line ends written to it.
struct Counts {
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;
};

ssize_t CountOutput(void* cookie, const char* buffer, std::size_t count) {
  auto* counts = static_cast<Counts*>(cookie);
  counts->bytes += count;
  for (std::size_t i = 0; i < count; ++i) counts->lines += buffer[i] == '\n' ? 1U : 0U;
  return static_cast<ssize_t>(count);
}

std::FILE* OpenSink(Counts& counts) {
  cookie_io_functions_t functions{};
  functions.write = CountOutput;
  return fopencookie(&counts, "wb", functions);
}

[[noreturn]] void Fault(const char* what) {
  (void)std::fprintf(stderr, "core path fault: %s\n", what);
  (void)std::fflush(stderr);
  std::abort();
}

void Expect(bool holds, const char* what) {
  if (!holds) Fault(what);
}

// Writes with `write` into a fresh counted sink and returns the counts.
template <typename Write>
Counts Counted(Write write) {
  Counts counts;
  std::FILE* sink = OpenSink(counts);
  if (sink == nullptr) Fault("cannot open the output sink");
  write(sink);
  Expect(std::fclose(sink) == 0, "closing the output sink");
  return counts;
}

// The listing is its heading, three characters a byte and a line end after every sixteen.
void CheckListing(const unsigned char* block, std::uint64_t length) {
  const Counts counts = Counted([&](std::FILE* out) { MemoryListing(out, block, length); });
  char heading[96];
  const int headingLength = std::snprintf(
      heading, sizeof heading, "Memory starting at 0x%08" PRIX32 ": of length %" PRIu64 " bytes\n\n",
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block)), length);
  Expect(headingLength > 0, "listing heading");
  Expect(counts.bytes == static_cast<std::uint64_t>(headingLength) + 3 * length + length / 16,
         "listing length");
  Expect(counts.lines == 2 + length / 16, "listing lines");
}

// A drawing is one line per row, each of `width` glyphs or spaces.
void CheckDrawing(const unsigned char* pixels, std::uint64_t length, const BitmapInfoHeader& info,
                  std::string_view glyph, bool mustDraw) {
  bool drawn = false;
  const Counts counts = Counted([&](std::FILE* out) { drawn = CharacterArt(out, pixels, length, info, glyph); });
  Expect(drawn || !mustDraw, "an accepted picture was not drawn");
  if (!drawn) {
    Expect(counts.bytes == 0, "a refused drawing wrote something");
    return;
  }
  const std::uint64_t rows = HeightRows(info);
  const std::uint64_t cells = rows * (static_cast<std::uint64_t>(info.width) + 1);
  Expect(counts.lines == rows, "drawing lines");
  Expect(counts.bytes >= cells && counts.bytes <= cells + rows * info.width * (glyph.size() - 1),
         "drawing length");
  if (glyph.size() == 1) Expect(counts.bytes == cells, "drawing length with a one-byte glyph");
}

// The glyphs the programs draw with: monosketch's "@", monolook's block on this
// system, and the block of Windows consoles; and a four-byte character, the
// longest glyph CharacterArt takes, whose expansions fill its table entries.
constexpr std::string_view kGlyphs[] = {"@", kFullBlockGlyph, "\xDB", "\xF0\x9F\x80\xB0"};

}  // namespace

CorePathEnd RunCorePath(const unsigned char* data, std::size_t size) {
  MemoryInput input{data, size, 0};
  std::FILE* file = OpenInput(input);
  if (file == nullptr) Fault("cannot open the input stream");

  BitmapFileHeader fileHeader;
  BitmapInfoHeader infoHeader;
  const HeaderRead headerRead = ReadHeaders(file, fileHeader, infoHeader);
  Expect(headerRead != HeaderRead::ReadError, "a memory stream failed to read");
  Expect((headerRead == HeaderRead::Whole) == (size >= kHeadersBytes), "header read against the file length");
  Expect(FileLength(file) == size, "measured length");

  // CharacterArt guards itself: the raw file as pixels under its own headers
  // is drawn only when it holds them all.
  for (const std::string_view glyph : kGlyphs) CheckDrawing(data, size, infoHeader, glyph, false);

  const BitmapCheck check = CheckBitmap(headerRead, fileHeader, infoHeader, FileLength(file));
  if (check != BitmapCheck::Accepted) {
    Expect(std::fclose(file) == 0, "closing the input stream");
    return CorePathEnd::Refused;
  }

  const std::uint64_t pixelBytes = PixelDataSize(infoHeader);
  Expect(fileHeader.pixelOffset + pixelBytes <= size, "accepted pixels reach past the end");
  PixelBuffer pixels;
  Expect(LoadPixels(file, fileHeader, pixelBytes, pixels) == LoadResult::Loaded, "an accepted file did not load");
  Expect(pixels.size == pixelBytes && std::memcmp(pixels.data, data + fileHeader.pixelOffset, pixelBytes) == 0,
         "loaded pixels differ from the file");
  Expect(std::fclose(file) == 0, "closing the input stream");

  CheckListing(pixels.data, pixels.size);
  for (const std::string_view glyph : kGlyphs) CheckDrawing(pixels.data, pixels.size, infoHeader, glyph, true);
  return CorePathEnd::Drawn;
}
