// Where the time of drawing and listing goes: each writes a 4096 x 4096 picture's
// output into a memory stream, beside a memcpy of the same number of bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "bitmap.h"
#include "character_art.h"
#include "memory_listing.h"

namespace {

constexpr std::uint32_t kSide = 4096;

std::vector<unsigned char> Pixels() {
  std::vector<unsigned char> pixels(RowStride(kSide) * kSide);
  std::uint32_t seed = 2463534242U;
  for (auto& byte : pixels) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    byte = static_cast<unsigned char>(seed);
  }
  return pixels;
}

BitmapInfoHeader Info() {
  BitmapInfoHeader info;
  info.width = kSide;
  info.height = kSide;
  return info;
}

// Runs `write` into a memory stream over a buffer made once, and reports the bytes written.
void IntoMemory(benchmark::State& state, const std::function<void(std::FILE*)>& write) {
  static std::vector<char> sink(64U << 20);
  std::FILE* out = fmemopen(sink.data(), sink.size(), "w");
  std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
  long written = 0;
  for (auto _ : state) {
    std::rewind(out);
    write(out);
    std::fflush(out);
    written = std::ftell(out);
    benchmark::DoNotOptimize(sink.data());
  }
  std::fclose(out);
  state.SetBytesProcessed(state.iterations() * written);
  state.counters["output_bytes"] = static_cast<double>(written);
}

void BM_CharacterArtAt(benchmark::State& state) {
  const auto pixels = Pixels();
  IntoMemory(state, [&](std::FILE* out) { (void)CharacterArt(out, pixels.data(), pixels.size(), Info(), "@"); });
}

void BM_CharacterArtBlock(benchmark::State& state) {
  const auto pixels = Pixels();
  IntoMemory(state,
             [&](std::FILE* out) { (void)CharacterArt(out, pixels.data(), pixels.size(), Info(), kFullBlockGlyph); });
}

void BM_MemoryListing(benchmark::State& state) {
  const auto pixels = Pixels();
  IntoMemory(state, [&](std::FILE* out) { MemoryListing(out, pixels.data(), pixels.size()); });
}

// The floor: copying the bytes that the drawing with "@" writes (one byte a pixel and a line end a row).
void BM_MemcpySameBytes(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  std::vector<char> from(bytes, '@');
  std::vector<char> to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

BENCHMARK(BM_CharacterArtAt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CharacterArtBlock)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryListing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpySameBytes)
    ->Arg(static_cast<std::int64_t>(kSide) * (kSide + 1))  // "@" drawing
    ->Arg(static_cast<std::int64_t>(kSide) * kSide / 8 * 3 + kSide * kSide / 8 / 16)  // listing
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
