#include "core_path.h"

#include <sys/types.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "bitmap.h"
#include "character_art.h"
#include "memory_listing.h"
#include "reference_reading.h"
#include "stb_judge.h"

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

// An output that keeps every byte written to it, to be compared with a reference reading.
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

// The core's verdict in the words the reference reading uses for its own.
const char* VerdictName(BitmapCheck check) {
  switch (check) {
    case BitmapCheck::Accepted:
      return reference::VerdictName(reference::Verdict::Accepted);
    case BitmapCheck::NotMonochromeBmp:
      return reference::VerdictName(reference::Verdict::NotOneBitBmp);
    case BitmapCheck::Damaged:
      return reference::VerdictName(reference::Verdict::Damaged);
  }
  return "unknown";
}

// Reports where a drawing first departs from the reference reading, and aborts.
[[noreturn]] void DrawingDiffers(std::string_view glyph, std::uint64_t line, std::uint64_t column,
                                 std::size_t at, const char* what) {
  char message[256];
  (void)std::snprintf(message, sizeof message,
                      "drawing with a %zu-byte glyph differs at line %" PRIu64 ", column %" PRIu64
                      " (output byte %zu): %s",
                      glyph.size(), line, column, at, what);
  Fault(message);
}

// Finds where a drawing first departs from the reference reading, and reports it.
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

// The listing against the reference: its heading, then each byte as two uppercase hex
// digits and a space, with a line end after every sixteenth.
void CheckListing(const unsigned char* block, std::uint64_t length) {
  const std::string& listed = Captured([&](std::FILE* out) { MemoryListing(out, block, length); });
  char heading[96];
  const int headingLength = std::snprintf(
      heading, sizeof heading, "Memory starting at 0x%08" PRIX32 ": of length %" PRIu64 " bytes\n\n",
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block)), length);
  Expect(headingLength > 0, "listing heading");
  Expect(listed.compare(0, static_cast<std::size_t>(headingLength), heading) == 0, "the listing's heading differs");
  const std::string expected =
      heading + reference::ListedBytes(std::span<const unsigned char>(block, static_cast<std::size_t>(length)));
  if (listed == expected) return;
  std::size_t at = static_cast<std::size_t>(headingLength);
  while (at < listed.size() && at < expected.size() && listed[at] == expected[at]) ++at;
  const std::size_t groups = at - static_cast<std::size_t>(headingLength);
  char message[128];
  (void)std::snprintf(message, sizeof message, "the listing differs at pixel byte %zu (output byte %zu)",
                      (groups - groups / 49) / 3, at);
  Fault(message);
}

// The glyphs the programs draw with: monosketch's "@", monolook's block on this
// system, and the block of Windows consoles. The three-byte block is the longest
// glyph CharacterArt takes, and its expansions fill the table's entries.
constexpr std::string_view kGlyphs[] = {"@", kFullBlockGlyph, "\xDB"};

// Draws with every glyph and checks each drawing against the reference reading of the
// same pixels. `mustDraw`: the picture was accepted, so the drawing must take it.
// Returns the core's drawing as cells ('1', '0', '\n'), read back from its "@" drawing.
std::string CheckDrawings(const unsigned char* pixels, std::uint64_t length, const BitmapInfoHeader& info,
                          const reference::Fields& fields, bool mustDraw) {
  // CharacterArt draws when the width is drawable and the buffer holds every row.
  const bool drawable = fields.width >= 1 && fields.width <= 0x7FFFFFFF;
  const std::uint64_t rows = reference::Rows(fields);
  const bool holds = pixels != nullptr && reference::RowBytes(fields) * rows <= length;
  const bool draws = drawable && (rows == 0 || holds);
  Expect(draws || !mustDraw, "an accepted picture cannot be drawn");
  const std::string cells =
      draws && pixels != nullptr
          ? reference::CellsOfPixels(std::span<const unsigned char>(pixels, static_cast<std::size_t>(length)), fields)
          : std::string();
  std::string coreCells;
  for (const std::string_view glyph : kGlyphs) {
    bool drawn = false;
    const std::string& out = Captured([&](std::FILE* sink) { drawn = CharacterArt(sink, pixels, length, info, glyph); });
    Expect(drawn == draws, draws ? "a drawable picture was not drawn" : "a picture was drawn beyond its buffer");
    if (drawn) {
      if (out != reference::DrawingOfCells(cells, glyph)) ReportDrawingDifference(cells, glyph, out);
    } else {
      Expect(out.empty(), "a refused drawing wrote something");
    }
    if (glyph == "@") coreCells = stb_judge::CellsOfDrawing(out);
  }
  return coreCells;
}

// The second judge: stb_image, written by others, on the same file and the core's verdict.
void CheckWithStb(const unsigned char* data, std::size_t size, bool accepted, const std::string& coreCells) {
  const stb_judge::Judgement judgement = stb_judge::Judge(std::span<const unsigned char>(data, size), accepted, coreCells);
  if (!judgement.fault.empty()) Fault(("against stb_image: " + judgement.fault).c_str());
}

}  // namespace

CorePathEnd RunCorePath(const unsigned char* data, std::size_t size) {
  MemoryInput input{data, size, 0};
  std::FILE* stream = OpenInput(input);
  if (stream == nullptr) Fault("cannot open the input stream");

  BitmapFileHeader fileHeader;
  BitmapInfoHeader infoHeader;
  const HeaderRead headerRead = ReadHeaders(stream, fileHeader, infoHeader);
  Expect(headerRead != HeaderRead::ReadError, "a memory stream failed to read");
  Expect(FileLength(stream) == std::optional<std::uint64_t>(size), "measured length");

  const reference::File file(data, size);
  const reference::Fields fields = reference::ReadFields(file);
  // The file header, then the first 12 bytes of an OS/2 information header or 40 of any other.
  const std::uint64_t headerBytes = 14 + (reference::IsOs2(fields) ? 12 : 40);
  Expect((headerRead == HeaderRead::Whole) == (size >= headerBytes), "header read against the file length");
  Expect(fileHeader.pixelOffset == fields.pixelOffset && infoHeader.width == fields.width &&
             static_cast<std::int32_t>(infoHeader.height) == fields.height &&
             infoHeader.bitsPerPixel == fields.bitsPerPixel && infoHeader.compression == fields.compression &&
             infoHeader.headerSize == fields.headerSize && infoHeader.planes == fields.planes &&
             fileHeader.fileSize == fields.fileSize,
         "decoded header fields differ from the stored bytes");

  // CharacterArt guards itself: the raw file as pixels under its own headers
  // is drawn only when it holds them all.
  (void)CheckDrawings(data, size, infoHeader, fields, false);

  const BitmapCheck check = CheckBitmap(headerRead, fileHeader, infoHeader, size);
  const reference::Verdict expected = reference::Acceptance(file);
  if (VerdictName(check) != std::string_view(reference::VerdictName(expected))) {
    char message[128];
    (void)std::snprintf(message, sizeof message, "the verdict is \"%s\", the rules give \"%s\"",
                        VerdictName(check), reference::VerdictName(expected));
    Fault(message);
  }
  if (check != BitmapCheck::Accepted) {
    Expect(std::fclose(stream) == 0, "closing the input stream");
    CheckWithStb(data, size, false, std::string());
    return CorePathEnd::Refused;
  }

  const std::uint64_t pixelBytes = PixelDataSize(infoHeader);
  Expect(pixelBytes == reference::RowBytes(fields) * reference::Rows(fields), "pixel array size");
  PixelBuffer pixels;
  Expect(LoadPixels(stream, fileHeader, pixelBytes, pixels) == LoadResult::Loaded, "an accepted file did not load");
  // An accepted file holds its pixel array, so the array's size fits in a size_t.
  Expect(pixels.size == pixelBytes &&
             std::memcmp(pixels.data, data + fileHeader.pixelOffset, static_cast<std::size_t>(pixelBytes)) == 0,
         "loaded pixels differ from the file");
  Expect(std::fclose(stream) == 0, "closing the input stream");

  CheckListing(pixels.data, pixels.size);
  const std::string coreCells = CheckDrawings(pixels.data, pixels.size, infoHeader, fields, true);
  CheckWithStb(data, size, true, coreCells);
  return CorePathEnd::Drawn;
}
