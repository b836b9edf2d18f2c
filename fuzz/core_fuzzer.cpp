// libFuzzer's entry: every input is taken as the whole picture file.
#include <cstddef>
#include <cstdint>

#include "core_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunCorePath(data, size);
  return 0;
}
