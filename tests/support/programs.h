// The built programs, the sample picture and the programs' own texts, for end-to-end tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "bmp_fixture.h"
#include "program_texts.h"

inline const std::string kMonosketch = MONOSKETCH_PATH;
inline const std::string kMonolook = MONOLOOK_PATH;
inline const std::string kFailShim = FAIL_SHIM_PATH;
// Builds of the two programs whose drawing fails.
inline const std::string kMonosketchDrawingFails = MONOSKETCH_DRAWING_FAILS_PATH;
inline const std::string kMonolookDrawingFails = MONOLOOK_DRAWING_FAILS_PATH;
inline constexpr const char* kImage = "intelww4.bmp";

inline Bytes Sample() {
  std::ifstream in(SAMPLE_PATH, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
