// The path the fuzzer drives, over its own seed pictures: each seed ends where it
// was made to (a good picture is drawn, a bad one refused), so the fuzzer starts
// from inputs that reach every step, and none of them trips a check of the path.
// The inputs the fuzzer kept (fuzz/corpus) go through the same checks in every
// build: each drawing and listing against the reference reading, each verdict against
// the acceptance rules.
#include "core_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bmp_fixture.h"
#include "seeds.h"

namespace {

TEST(CorePath, SeedsEndWhereTheyWereMadeTo) {
  const std::vector<FuzzSeed> seeds = FuzzSeeds();
  ASSERT_FALSE(seeds.empty());
  for (const FuzzSeed& seed : seeds) {
    EXPECT_EQ(RunCorePath(seed.file.data(), seed.file.size()), seed.end) << seed.name;
  }
}

TEST(CorePath, EveryCutOfAGoodPictureIsRefusedAndTheWholeDrawn) {
  const Bytes file = BmpOfArt({"#.#.#.#.#.#", ".#.#.#.#.#.", "###########"}, true, 0xFF);
  for (std::size_t length = 0; length < file.size(); ++length) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));  // nothing readable past it
    EXPECT_EQ(RunCorePath(cut.data(), cut.size()), CorePathEnd::Refused) << "cut at " << length;
  }
  EXPECT_EQ(RunCorePath(file.data(), file.size()), CorePathEnd::Drawn);
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(CorePath, KeptFuzzerInputsPassEveryCheck) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS_PATH)) {
    const Bytes file = ReadFile(entry.path());
    // The path checks every step itself and aborts on the first fault, with a
    // message saying what differs; the name printed last is the input that caused it.
    (void)std::fprintf(stderr, "%s\n", entry.path().filename().c_str());
    (void)RunCorePath(file.data(), file.size());
    ++count;
  }
  EXPECT_GT(count, 0U) << "no inputs in " << FUZZ_CORPUS_PATH;
}

}  // namespace
