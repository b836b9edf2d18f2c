#include "core_path.h"

#include <sys/types.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

// An output that keeps every byte written to it, to be compared with a plain reading.
ssize_t KeepOutput(void* cookie, const char* buffer, std::size_t count) {
  static_cast<std::string*>(cookie)->append(buffer, count);
  return static_cast<ssize_t>(count);
}

std::FILE* OpenSink(std::string& kept) {
  cookie_io_functions_t functions{};
  functions.write = KeepOutput;
  return fopencookie(&kept, "wb", functions);
}

[[noreturn]] void Fault(const char* what) {
  (void)std::fprintf(stderr, "core path fault: %s\n", what);
  (void)std::fflush(stderr);
  std::abort();
}

void Expect(bool holds, const char* what) {
  if (!holds) Fault(what);
}

// Writes with `write` into a sink and returns what was written. The string is
// kept from call to call, so a long drawing does not cost an allocation each time.
template <typename Write>
const std::string& Captured(Write write) {
  static std::string kept;
  kept.clear();
  std::FILE* sink = OpenSink(kept);
  if (sink == nullptr) Fault("cannot open the output sink");
  write(sink);
  Expect(std::fclose(sink) == 0, "closing the output sink");
  return kept;
}

// The header fields that decide a picture's fate, read straight from the file's
// bytes as the BMP format lays them out (little-endian, the file header's 14 bytes
// first, the information header after it); bytes past the end read as zero.
struct StoredFields {
  bool signature = false;  // "BM"
  std::uint64_t pixelOffset = 0;
  std::uint64_t headerSize = 0;
  std::uint64_t width = 0;
  std::int64_t height = 0;  // signed, as the format has it
  unsigned bitsPerPixel = 0;
  std::uint64_t compression = 0;
};

// A little-endian number of `bytes` bytes, least significant first.
std::uint64_t StoredNumber(const unsigned char* first, unsigned bytes) {
  std::uint64_t value = 0;
  for (unsigned i = bytes; i-- > 0;) value = value * 256 + first[i];
  return value;
}

StoredFields ReadStoredFields(const unsigned char* data, std::size_t size) {
  unsigned char head[14 + 40] = {};
  if (size > 0) std::memcpy(head, data, size < sizeof head ? size : sizeof head);
  StoredFields fields;
  fields.signature = size >= 2 && head[0] == 'B' && head[1] == 'M';
  fields.pixelOffset = StoredNumber(head + 10, 4);
  fields.headerSize = StoredNumber(head + 14, 4);
  fields.width = StoredNumber(head + 18, 4);
  const std::uint64_t height = StoredNumber(head + 22, 4);
  fields.height = height >= 0x80000000U ? static_cast<std::int64_t>(height) - 0x100000000 : static_cast<std::int64_t>(height);
  fields.bitsPerPixel = static_cast<unsigned>(StoredNumber(head + 28, 2));
  fields.compression = StoredNumber(head + 30, 4);
  return fields;
}

std::uint64_t StoredRows(const StoredFields& fields) {
  return static_cast<std::uint64_t>(fields.height < 0 ? -fields.height : fields.height);
}

// A stored row holds one bit per pixel and is padded to a whole number of 4-byte words.
std::uint64_t StoredRowBytes(const StoredFields& fields) {
  const std::uint64_t bits = fields.width;
  const std::uint64_t words = bits / 32 + (bits % 32 != 0 ? 1 : 0);
  return words * 4;
}

// The verdict the rules of the README's "What is accepted" give: a file that is no
// BMP at all, or not a one-bit uncompressed one of a drawable size, is not a one-bit
// BMP; a BMP whose headers or pixel array the file does not hold whole is damaged.
BitmapCheck ExpectedVerdict(const unsigned char* data, std::size_t size) {
  const StoredFields fields = ReadStoredFields(data, size);
  if (!fields.signature) return BitmapCheck::NotMonochromeBmp;
  if (size < 14 + 40) return BitmapCheck::Damaged;
  const bool oneBit = fields.headerSize >= 40 && fields.bitsPerPixel == 1 && fields.compression == 0;
  const bool drawable = fields.width >= 1 && fields.width <= 0x7FFFFFFF && fields.height != 0;
  const bool afterHeaders = fields.pixelOffset >= 14 + 40;
  if (!oneBit || !drawable || !afterHeaders) return BitmapCheck::NotMonochromeBmp;
  if (fields.pixelOffset + StoredRowBytes(fields) * StoredRows(fields) > size) return BitmapCheck::Damaged;
  return BitmapCheck::Accepted;
}

const char* VerdictName(BitmapCheck check) {
  switch (check) {
    case BitmapCheck::Accepted:
      return "accepted";
    case BitmapCheck::NotMonochromeBmp:
      return "not a one-bit BMP";
    case BitmapCheck::Damaged:
      return "damaged";
  }
  return "unknown";
}

// The picture read as plainly as it can be: one pixel at a time, top line first,
// '1' for a set pixel, '0' for a clear one and '\n' after every line. Rows are
// StoredRowBytes apart, bottom row first unless the height is negative; bit 7 of a
// row's first byte is its leftmost pixel, and the bits after the last pixel are
// padding. The caller has made sure `pixels` holds every stored row.
std::string PlainPixels(const unsigned char* pixels, const StoredFields& fields) {
  const std::uint64_t rows = StoredRows(fields);
  const std::uint64_t rowBytes = StoredRowBytes(fields);
  std::string cells(static_cast<std::size_t>(rows * (fields.width + 1)), '\n');
  char* cell = cells.data();
  for (std::uint64_t line = 0; line < rows; ++line) {
    const std::uint64_t stored = fields.height < 0 ? line : rows - 1 - line;
    const unsigned char* row = pixels + stored * rowBytes;
    for (std::uint64_t x = 0; x < fields.width; ++x) {
      const unsigned bit = (static_cast<unsigned>(row[x / 8]) >> (7 - x % 8)) & 1U;
      *cell++ = bit != 0 ? '1' : '0';
    }
    ++cell;  // the line's end, '\n' already
  }
  return cells;
}

// Reports where a drawing first departs from the plain reading, and aborts.
[[noreturn]] void DrawingDiffers(std::string_view glyph, std::uint64_t line, std::uint64_t column,
                                 std::size_t at, const char* what) {
  char message[256];
  (void)std::snprintf(message, sizeof message,
                      "drawing with a %zu-byte glyph differs at line %" PRIu64 ", column %" PRIu64
                      " (output byte %zu): %s",
                      glyph.size(), line, column, at, what);
  Fault(message);
}

// The drawing the plain reading gives: a set pixel is `glyph`, a clear one a space,
// and each line ends with "\n" and nothing else.
void ExpectedDrawing(const std::string& cells, std::string_view glyph, std::string& expected) {
  expected.resize(cells.size() * glyph.size());
  char* at = expected.data();
  for (const char cell : cells) {
    if (cell == '1') {
      std::memcpy(at, glyph.data(), glyph.size());
      at += glyph.size();
    } else {
      *at++ = cell == '0' ? ' ' : '\n';
    }
  }
  expected.resize(static_cast<std::size_t>(at - expected.data()));
}

// Finds where a drawing first departs from the plain reading, and reports it.
[[noreturn]] void ReportDrawingDifference(const std::string& cells, std::string_view glyph,
                                          const std::string& drawn) {
  std::size_t at = 0;
  std::uint64_t line = 0;
  std::uint64_t column = 0;
  for (const char cell : cells) {
    const std::string_view expected = cell == '1' ? glyph : cell == '0' ? std::string_view(" ") : "\n";
    if (drawn.compare(at, expected.size(), expected) != 0) {
      const char* what = cell == '\n' ? "the line does not end here" : cell == '1' ? "a set pixel is not the glyph"
                                                                                  : "a clear pixel is not a space";
      DrawingDiffers(glyph, line, column, at, what);
    }
    at += expected.size();
    if (cell == '\n') {
      ++line;
      column = 0;
    } else {
      ++column;
    }
  }
  DrawingDiffers(glyph, line, column, at, "more follows the last line");
}

// The listing one byte at a time: its heading, then each byte as two uppercase hex
// digits and a space, with a line end after every sixteenth.
void CheckListing(const unsigned char* block, std::uint64_t length) {
  const std::string& listed = Captured([&](std::FILE* out) { MemoryListing(out, block, length); });
  char heading[96];
  const int headingLength = std::snprintf(
      heading, sizeof heading, "Memory starting at 0x%08" PRIX32 ": of length %" PRIu64 " bytes\n\n",
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block)), length);
  Expect(headingLength > 0, "listing heading");
  Expect(listed.compare(0, static_cast<std::size_t>(headingLength), heading) == 0, "the listing's heading differs");
  std::size_t at = static_cast<std::size_t>(headingLength);
  for (std::uint64_t i = 0; i < length; ++i) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char group[] = {kDigits[block[i] / 16], kDigits[block[i] % 16], ' ', '\n'};
    const std::size_t groupLength = (i + 1) % 16 == 0 ? 4 : 3;
    if (listed.compare(at, groupLength, group, groupLength) != 0) {
      char message[128];
      (void)std::snprintf(message, sizeof message,
                          "the listing differs at pixel byte %" PRIu64 " (output byte %zu)", i, at);
      Fault(message);
    }
    at += groupLength;
  }
  Expect(at == listed.size(), "more follows the listing's last byte");
}

// The glyphs the programs draw with: monosketch's "@", monolook's block on this
// system, and the block of Windows consoles; and a four-byte character, the
// longest glyph CharacterArt takes, whose expansions fill its table entries.
constexpr std::string_view kGlyphs[] = {"@", kFullBlockGlyph, "\xDB", "\xF0\x9F\x80\xB0"};

// Draws with every glyph and checks each drawing against the plain reading of the
// same pixels. `mustDraw`: the picture was accepted, so the drawing must take it.
void CheckDrawings(const unsigned char* pixels, std::uint64_t length, const BitmapInfoHeader& info,
                   const StoredFields& fields, bool mustDraw) {
  // CharacterArt draws when the width is drawable and the buffer holds every row.
  const bool drawable = fields.width >= 1 && fields.width <= 0x7FFFFFFF;
  const std::uint64_t rows = StoredRows(fields);
  const bool holds = pixels != nullptr && StoredRowBytes(fields) * rows <= length;
  const bool draws = drawable && (rows == 0 || holds);
  Expect(draws || !mustDraw, "an accepted picture cannot be drawn");
  const std::string cells = draws ? PlainPixels(pixels, fields) : std::string();
  for (const std::string_view glyph : kGlyphs) {
    bool drawn = false;
    const std::string& out = Captured([&](std::FILE* sink) { drawn = CharacterArt(sink, pixels, length, info, glyph); });
    Expect(drawn == draws, draws ? "a drawable picture was not drawn" : "a picture was drawn beyond its buffer");
    if (drawn) {
      static std::string expected;
      ExpectedDrawing(cells, glyph, expected);
      if (out != expected) ReportDrawingDifference(cells, glyph, out);
    } else {
      Expect(out.empty(), "a refused drawing wrote something");
    }
  }
}

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

  const StoredFields fields = ReadStoredFields(data, size);
  Expect(fileHeader.pixelOffset == fields.pixelOffset && infoHeader.width == fields.width &&
             static_cast<std::int32_t>(infoHeader.height) == fields.height &&
             infoHeader.bitsPerPixel == fields.bitsPerPixel && infoHeader.compression == fields.compression &&
             infoHeader.headerSize == fields.headerSize,
         "decoded header fields differ from the stored bytes");

  // CharacterArt guards itself: the raw file as pixels under its own headers
  // is drawn only when it holds them all.
  CheckDrawings(data, size, infoHeader, fields, false);

  const BitmapCheck check = CheckBitmap(headerRead, fileHeader, infoHeader, FileLength(file));
  const BitmapCheck expected = ExpectedVerdict(data, size);
  if (check != expected) {
    char message[128];
    (void)std::snprintf(message, sizeof message, "the verdict is \"%s\", the rules give \"%s\"",
                        VerdictName(check), VerdictName(expected));
    Fault(message);
  }
  if (check != BitmapCheck::Accepted) {
    Expect(std::fclose(file) == 0, "closing the input stream");
    return CorePathEnd::Refused;
  }

  const std::uint64_t pixelBytes = PixelDataSize(infoHeader);
  Expect(pixelBytes == StoredRowBytes(fields) * StoredRows(fields), "pixel array size");
  PixelBuffer pixels;
  Expect(LoadPixels(file, fileHeader, pixelBytes, pixels) == LoadResult::Loaded, "an accepted file did not load");
  Expect(pixels.size == pixelBytes && std::memcmp(pixels.data, data + fileHeader.pixelOffset, pixelBytes) == 0,
         "loaded pixels differ from the file");
  Expect(std::fclose(file) == 0, "closing the input stream");

  CheckListing(pixels.data, pixels.size);
  CheckDrawings(pixels.data, pixels.size, infoHeader, fields, true);
  return CorePathEnd::Drawn;
}
