#include "bitmap.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// 64-bit file positions, so pictures beyond 2 GiB are measured and reached correctly
// (off_t is 64 bits wide: core/CMakeLists.txt defines _FILE_OFFSET_BITS=64).
bool SeekTo(std::FILE* file, std::uint64_t offset, int whence) {
#if defined(_WIN32)
  return _fseeki64(file, static_cast<__int64>(offset), whence) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

std::int64_t Tell(std::FILE* file) {
#if defined(_WIN32)
  return _ftelli64(file);
#else
  return ftello(file);
#endif
}

// Reads up to `count` bytes; the bytes the file did not supply are set to zero.
std::size_t ReadZeroFilled(std::FILE* file, unsigned char* bytes, std::size_t count) {
  const std::size_t got = std::fread(bytes, 1, count, file);
  for (std::size_t i = got; i < count; ++i) bytes[i] = 0;
  return got;
}

#if defined(__linux__)
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A pixel array of megabytes is placed on 2 MiB boundaries and offered huge pages:
// loading it then costs one page fault per 2 MiB instead of one per 4 KiB. On the
// virtual machine this was measured on, a fault cost about 20 microseconds: an
// 8192 x 8192 picture drawn through a pipe took 105 ms with small pages, 65 ms with
// huge ones. The block is rounded up to whole huge pages; the system may still back
// it with small ones.
void* AllocateLarge(std::size_t count) {
  if (count > SIZE_MAX - (kHugePage - 1)) return nullptr;
  const std::size_t rounded = (count + kHugePage - 1) / kHugePage * kHugePage;
  void* block = std::aligned_alloc(kHugePage, rounded);
  if (block != nullptr) (void)madvise(block, rounded, MADV_HUGEPAGE);  // only advice: refusal is harmless
  return block;
}
#endif

// A block of `count` bytes (at least one), released with std::free; null when memory runs out.
unsigned char* AllocatePixels(std::size_t count) {
#if defined(__linux__)
  if (count >= kHugePage) return static_cast<unsigned char*>(AllocateLarge(count));
#endif
  return static_cast<unsigned char*>(std::malloc(count == 0 ? 1 : count));
}

#if !defined(_WIN32)
// O_NONBLOCK: the open itself never waits (a FIFO without a writer would make it wait
// for one). O_NOCTTY: a terminal is never made the programs' controlling terminal.
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

std::int64_t MonotonicMilliseconds() {
  timespec now{};
  (void)clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// How long the kernel gives a lease holder to let a file go before it takes the lease
// away itself: /proc/sys/fs/lease-break-time, in seconds (45 unless set otherwise).
std::int64_t LeaseBreakSeconds() {
  std::int64_t seconds = 45;
#if defined(__linux__)
  const int fd = open("/proc/sys/fs/lease-break-time", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return seconds;
  char text[24] = {};
  const ssize_t got = read(fd, text, sizeof text - 1);
  (void)close(fd);
  char* end = nullptr;
  const long long value = got > 0 ? std::strtoll(text, &end, 10) : -1;
  if (end != text && value >= 0 && value <= INT32_MAX) seconds = value;  // the setting is an int
#endif
  return seconds;
}

// Opens a regular file for reading without waiting in the open. A file under a lease
// (fcntl F_SETLEASE, as file servers take them) refuses such an open, while the kernel
// asks the lease holder to let the file go; the open is tried again every 10 ms until
// the holder has, or until the kernel has taken the lease away itself after its
// lease-break time, so the file is read when a blocking open (cat's) would read it.
int OpenWithoutWaiting(const char* path) {
  int fd = open(path, kOpenFlags);
  if (fd >= 0 || !WouldBlock(errno)) return fd;
  const std::int64_t deadline = MonotonicMilliseconds() + (LeaseBreakSeconds() + 1) * 1000;
  const timespec pause{0, 10000000};  // 10 ms
  do {
    (void)nanosleep(&pause, nullptr);
    fd = open(path, kOpenFlags);
  } while (fd < 0 && WouldBlock(errno) && MonotonicMilliseconds() < deadline);
  return fd;
}
#endif

}  // namespace

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data = std::exchange(other.data, nullptr);
    size = std::exchange(other.size, 0);
  }
  return *this;
}

PixelBuffer::~PixelBuffer() { Release(); }

void PixelBuffer::Release() noexcept {
  std::free(data);
  data = nullptr;
  size = 0;
}

BitmapFileHeader DecodeFileHeader(const unsigned char* bytes) {
  BitmapFileHeader h;
  h.signature = Le16(bytes + 0);
  h.fileSize = Le32(bytes + 2);
  h.reserved1 = Le16(bytes + 6);
  h.reserved2 = Le16(bytes + 8);
  h.pixelOffset = Le32(bytes + 10);
  return h;
}

BitmapInfoHeader DecodeInfoHeader(const unsigned char* bytes) {
  BitmapInfoHeader h;
  h.headerSize = Le32(bytes + 0);
  h.width = Le32(bytes + 4);
  h.height = Le32(bytes + 8);
  h.planes = Le16(bytes + 12);
  h.bitsPerPixel = Le16(bytes + 14);
  h.compression = Le32(bytes + 16);
  h.imageSize = Le32(bytes + 20);
  h.xPixelsPerMeter = Le32(bytes + 24);
  h.yPixelsPerMeter = Le32(bytes + 28);
  h.coloursUsed = Le32(bytes + 32);
  h.coloursImportant = Le32(bytes + 36);
  return h;
}

BitmapInfoHeader DecodeCoreHeader(const unsigned char* bytes) {
  BitmapInfoHeader h;
  h.headerSize = Le32(bytes + 0);
  h.width = Le16(bytes + 4);
  h.height = Le16(bytes + 6);
  h.planes = Le16(bytes + 8);
  h.bitsPerPixel = Le16(bytes + 10);
  return h;
}

std::FILE* OpenPicture(const char* path) {
#if defined(_WIN32)
  return std::fopen(path, "rb");
#else
  // Only a regular file is opened. Opening a FIFO would release a writer waiting in its
  // own open, to have its bytes thrown away; reading a FIFO, a terminal, a socket or a
  // device such as /dev/zero would wait for bytes or never end.
  struct stat info {};
  if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  const int fd = OpenWithoutWaiting(path);
  if (fd < 0) return nullptr;
  // The path may have been given to something else since it was looked at: what was
  // opened is looked at again, and closed unread unless it is a regular file. Reads of
  // a regular file never wait, so blocking mode is given back to it.
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    (void)close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) (void)close(fd);
  return file;
#endif
}

HeaderRead ReadHeaders(std::FILE* file, BitmapFileHeader& fileHeader, BitmapInfoHeader& infoHeader) {
  // The file header and the information header's size field come first; that field
  // says how many bytes of header follow it. What is not read stays zero.
  unsigned char bytes[kFileHeaderBytes + kInfoHeaderBytes] = {};
  constexpr std::size_t kThroughSize = kFileHeaderBytes + 4;
  const std::size_t gotFirst = ReadZeroFilled(file, bytes, kThroughSize);
  const bool core = Le32(bytes + kFileHeaderBytes) == kCoreHeaderBytes;
  const std::size_t rest = (core ? kCoreHeaderBytes : kInfoHeaderBytes) - 4;
  const std::size_t gotRest = gotFirst == kThroughSize ? ReadZeroFilled(file, bytes + kThroughSize, rest) : 0;
  fileHeader = DecodeFileHeader(bytes);
  infoHeader = core ? DecodeCoreHeader(bytes + kFileHeaderBytes) : DecodeInfoHeader(bytes + kFileHeaderBytes);
  if (std::ferror(file) != 0) return HeaderRead::ReadError;
  if (gotFirst < kThroughSize || gotRest < rest) return HeaderRead::Short;
  return HeaderRead::Whole;
}

std::optional<std::uint64_t> FileLength(std::FILE* file) {
  const std::int64_t here = Tell(file);
  if (here < 0 || !SeekTo(file, 0, SEEK_END)) return std::nullopt;
  const std::int64_t end = Tell(file);
  if (!SeekTo(file, static_cast<std::uint64_t>(here), SEEK_SET) || end < 0) return std::nullopt;
  return static_cast<std::uint64_t>(end);
}

bool HasBmpSignature(const BitmapFileHeader& fileHeader) {
  return fileHeader.signature == kBmpSignature;
}

bool IsTopDown(const BitmapInfoHeader& infoHeader) {
  return (infoHeader.height & 0x80000000U) != 0;
}

std::uint64_t HeightRows(const BitmapInfoHeader& infoHeader) {
  const std::uint64_t stored = infoHeader.height;
  // Two's complement magnitude of a negative height; 0x80000000 gives 2^31.
  return IsTopDown(infoHeader) ? (std::uint64_t{1} << 32) - stored : stored;
}

std::uint64_t RowStride(std::uint32_t width) {
  return (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
}

std::uint64_t PixelDataSize(const BitmapInfoHeader& infoHeader) {
  return RowStride(infoHeader.width) * HeightRows(infoHeader);
}

BitmapCheck CheckBitmap(HeaderRead headerRead, const BitmapFileHeader& fileHeader,
                        const BitmapInfoHeader& infoHeader, std::uint64_t fileLength) {
  if (headerRead == HeaderRead::ReadError) return BitmapCheck::Damaged;
  if (!HasBmpSignature(fileHeader)) return BitmapCheck::NotMonochromeBmp;
  // The header-size field, bytes 14 to 17, tells which information header follows: a
  // file that ends before it, or before the 12 or 40 bytes it names, is cut short.
  if (fileLength < kFileHeaderBytes + 4) return BitmapCheck::Damaged;
  const std::uint64_t headerSize = infoHeader.headerSize;
  if (headerSize != kCoreHeaderBytes && headerSize < kInfoHeaderBytes) return BitmapCheck::NotMonochromeBmp;
  const std::uint64_t fixedPart = headerSize == kCoreHeaderBytes ? kCoreHeaderBytes : kInfoHeaderBytes;
  if (headerRead == HeaderRead::Short || fileLength < kFileHeaderBytes + fixedPart) return BitmapCheck::Damaged;

  const bool monochrome = infoHeader.bitsPerPixel == 1 && infoHeader.compression == 0;
  const bool sized = infoHeader.width != 0 && (infoHeader.width & 0x80000000U) == 0 &&
                     infoHeader.height != 0;
  if (!monochrome || !sized) return BitmapCheck::NotMonochromeBmp;

  // The information header is as long as its size field says (108 bytes for a
  // BITMAPV4HEADER, 124 for a BITMAPV5HEADER); a file that ends inside it is cut short.
  const std::uint64_t headersEnd = kFileHeaderBytes + headerSize;
  if (headersEnd > fileLength) return BitmapCheck::Damaged;
  // A pixel array that starts inside the headers would draw header bytes (a long
  // header's colour masks, say) as pixels.
  const std::uint64_t offset = fileHeader.pixelOffset;
  if (offset < headersEnd) return BitmapCheck::NotMonochromeBmp;

  if (offset > fileLength || PixelDataSize(infoHeader) > fileLength - offset) {
    return BitmapCheck::Damaged;
  }
  return BitmapCheck::Accepted;
}

LoadResult LoadPixels(std::FILE* file, const BitmapFileHeader& fileHeader, std::uint64_t size,
                      PixelBuffer& pixels) {
  pixels.Release();
  if (size > SIZE_MAX) return LoadResult::NoMemory;
  const auto count = static_cast<std::size_t>(size);
  unsigned char* block = AllocatePixels(count);
  if (block == nullptr) return LoadResult::NoMemory;
  if (!SeekTo(file, fileHeader.pixelOffset, SEEK_SET) || std::fread(block, 1, count, file) != count) {
    std::free(block);
    return LoadResult::Damaged;
  }
  pixels.data = block;
  pixels.size = size;
  return LoadResult::Loaded;
}
