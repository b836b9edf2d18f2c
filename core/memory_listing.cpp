#include "memory_listing.h"

#include <cinttypes>
#include <cstring>

#include "output_chunk.h"

namespace {

constexpr std::uint64_t kBytesPerLine = 16;
constexpr char kHexDigits[] = "0123456789ABCDEF";

void PutByte(char* at, unsigned char value) {
  at[0] = kHexDigits[value >> 4];
  at[1] = kHexDigits[value & 0x0F];
  at[2] = ' ';
}

}  // namespace

void MemoryListing(std::FILE* out, const unsigned char* block, std::uint64_t length) {
  if (block == nullptr || length == 0) return;
  const auto address = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block));
  // A failed write shows on the stream's error indicator, as in OutputChunk.
  (void)std::fprintf(out, "Memory starting at 0x%08" PRIX32 ": of length %" PRIu64 " bytes\n\n", address, length);

  OutputChunk chunk(out);
  std::uint64_t i = 0;
  for (; i + kBytesPerLine <= length; i += kBytesPerLine) {
    char* at = chunk.Reserve(3 * kBytesPerLine + 1);
    for (std::uint64_t k = 0; k < kBytesPerLine; ++k) PutByte(at + 3 * k, block[i + k]);
    at[3 * kBytesPerLine] = '\n';
    chunk.Commit(3 * kBytesPerLine + 1);
  }
  for (; i < length; ++i) {
    PutByte(chunk.Reserve(3), block[i]);
    chunk.Commit(3);
  }
}
