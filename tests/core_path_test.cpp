// The path the fuzzer drives, over its own seed pictures: each seed ends where it
// was made to (a good picture is drawn, a bad one refused), so the fuzzer starts
// from inputs that reach every step, and none of them trips a check of the path.
#include "core_path.h"

#include <gtest/gtest.h>

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

}  // namespace
