// BMP header records and the loading of a one-bit pixel array.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

// The 14-byte BMP file header (BITMAPFILEHEADER), decoded field by field.
struct BitmapFileHeader {
  std::uint16_t signature = 0;    // "BM" is 0x4D42 read little-endian
  std::uint32_t fileSize = 0;     // as stated by the file; may lie
  std::uint16_t reserved1 = 0;
  std::uint16_t reserved2 = 0;
  std::uint32_t pixelOffset = 0;  // where the pixel array starts, from the start of the file
};

// The BMP information header that follows it: the 40-byte BITMAPINFOHEADER (or the
// first 40 bytes of a longer one), or an OS/2 1.x BITMAPCOREHEADER of 12 bytes, whose
// 16-bit width, height, planes and bit count are widened into the same fields (the
// fields it lacks stay 0: no compression). Width and height keep their stored bits;
// the height is signed in the Windows headers (negative means rows stored top row
// first), see HeightRows/IsTopDown; an OS/2 height is never negative.
struct BitmapInfoHeader {
  std::uint32_t headerSize = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t xPixelsPerMeter = 0;
  std::uint32_t yPixelsPerMeter = 0;
  std::uint32_t coloursUsed = 0;
  std::uint32_t coloursImportant = 0;
};

inline constexpr std::uint64_t kFileHeaderBytes = 14;
inline constexpr std::uint64_t kInfoHeaderBytes = 40;
inline constexpr std::uint64_t kCoreHeaderBytes = 12;  // OS/2 1.x BITMAPCOREHEADER
inline constexpr std::uint16_t kBmpSignature = 0x4D42;  // 'B' 0x42, 'M' 0x4D

// The outcome of reading both headers.
enum class HeaderRead {
  Whole,      // both records read in full
  Short,      // the file ended first (within the header-size field, or within the 12 or
              // 40 bytes of the header it names); the missing bytes read as zero
  ReadError,  // the stream could not be read at all (a folder, say)
};

// The verdict on a file whose headers were read, given before anything is allocated.
enum class BitmapCheck {
  Accepted,
  NotMonochromeBmp,  // not a one-bit uncompressed BMP (an information header of another
                     // kind among them), or its pixels start inside its headers
  Damaged,           // the headers or the pixel array reach past the end of the file
};

enum class LoadResult {
  Loaded,
  NoMemory,  // the pixel buffer could not be allocated
  Damaged,   // the pixel array could not be read whole
};

// The stored pixel array, owned; released when it goes out of scope or by Release().
struct PixelBuffer {
  unsigned char* data = nullptr;
  std::uint64_t size = 0;

  PixelBuffer() = default;
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;
  PixelBuffer(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(PixelBuffer&& other) noexcept;
  ~PixelBuffer();

  void Release() noexcept;
};

// Decodes the little-endian records from raw bytes: 14 of the file header, 40 of a
// Windows information header, 12 of an OS/2 one.
BitmapFileHeader DecodeFileHeader(const unsigned char* bytes);
BitmapInfoHeader DecodeInfoHeader(const unsigned char* bytes);
BitmapInfoHeader DecodeCoreHeader(const unsigned char* bytes);

// Opens the picture for reading in binary mode, as fopen(path, "rb") would. On POSIX
// systems only a regular file is opened: a FIFO, a terminal, a socket or a device such as
// /dev/null is not opened at all (a FIFO's waiting writer goes on waiting), and a path
// given to one of them between the look and the open is closed unread. The open never
// waits, but for a file under a lease, which is opened once the lease holder lets it go
// (at the latest after the kernel's lease-break time). Null when it cannot be opened.
std::FILE* OpenPicture(const char* path);

// Reads the file header and the information header from the stream's current position:
// the header-size field first, then the rest of the header it names (12 bytes for an
// OS/2 header, the first 40 for any other; longer headers' further fields are not read).
HeaderRead ReadHeaders(std::FILE* file, BitmapFileHeader& fileHeader, BitmapInfoHeader& infoHeader);

// The length of the open file in bytes, measured by seeking to its end and back. Nothing
// when it cannot be measured: a pipe or a terminal cannot seek, whatever it holds.
std::optional<std::uint64_t> FileLength(std::FILE* file);

bool HasBmpSignature(const BitmapFileHeader& fileHeader);
bool IsTopDown(const BitmapInfoHeader& infoHeader);
// The number of pixel rows: the magnitude of the signed height.
std::uint64_t HeightRows(const BitmapInfoHeader& infoHeader);
// Bytes in one stored row: rows are padded to a multiple of 4 bytes.
std::uint64_t RowStride(std::uint32_t width);
// Bytes of the whole stored pixel array: stride times rows.
std::uint64_t PixelDataSize(const BitmapInfoHeader& infoHeader);

// Decides whether the picture can be loaded and drawn, from the headers and the real file
// length. The checks, in order, the first that fails giving the verdict: the signature
// (else not a BMP); the header-size field inside the file (else damaged); a header size of
// 12 (OS/2) or 40 and more (else not a BMP we read); the 12 or 40 bytes of that header
// inside the file (else damaged); a one-bit uncompressed picture of a drawable size; the
// information header, as long as its size field says, inside the file; the pixel array
// starting at or after that header's end; the pixel array inside the file.
BitmapCheck CheckBitmap(HeaderRead headerRead, const BitmapFileHeader& fileHeader,
                        const BitmapInfoHeader& infoHeader, std::uint64_t fileLength);

// Allocates `size` bytes, seeks to the pixel array and reads it whole into `pixels`.
// On any result but Loaded, `pixels` is left empty.
LoadResult LoadPixels(std::FILE* file, const BitmapFileHeader& fileHeader, std::uint64_t size,
                      PixelBuffer& pixels);
