// Writes the fuzzer's seed pictures into the folder given as the only argument.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    (void)std::fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    (void)std::fprintf(stderr, "make_seeds: cannot make %s\n", folder.c_str());
    return 1;
  }
  for (const FuzzSeed& seed : FuzzSeeds()) {
    std::ofstream out(folder / seed.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(seed.file.data()), static_cast<std::streamsize>(seed.file.size()));
    if (!out) {
      (void)std::fprintf(stderr, "make_seeds: cannot write %s\n", seed.name.c_str());
      return 1;
    }
  }
  return 0;
}
