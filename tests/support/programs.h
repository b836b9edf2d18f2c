// The built programs, the sample picture and the programs' own texts, for end-to-end tests.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "bmp_fixture.h"
#include "program_runner.h"
#include "program_texts.h"

inline const std::string kMonosketch = MONOSKETCH_PATH;
inline const std::string kMonolook = MONOLOOK_PATH;
inline const std::string kFailShim = FAIL_SHIM_PATH;
// Builds of the two programs whose drawing fails.
inline const std::string kMonosketchDrawingFails = MONOSKETCH_DRAWING_FAILS_PATH;
inline const std::string kMonolookDrawingFails = MONOLOOK_DRAWING_FAILS_PATH;
inline constexpr const char* kImage = "intelww4.bmp";

// Which of the two programs a case runs, named for gtest's messages and test list.
enum class Which { Sketch, Look };
inline std::string ProgramName(Which which) { return which == Which::Sketch ? "monosketch" : "monolook"; }
inline void PrintTo(Which which, std::ostream* out) { *out << ProgramName(which); }
inline const std::string& Executable(Which which) { return which == Which::Sketch ? kMonosketch : kMonolook; }

inline Bytes Sample() {
  std::ifstream in(SAMPLE_PATH, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The environment of a run with the shim preloaded and `setting` given to it.
// In a sanitizer build the AddressSanitizer runtime insists on coming first among
// the libraries of the process, while the shim must come before it to see malloc
// and fclose first; the shim hands every call it lets through on to the runtime
// (see fail_shim.cpp), so that check is turned off for these runs alone. Options
// already given to the runtime are kept. A plain build has no runtime to read them.
inline Environment WithShim(const char* setting, const char* value) {
  std::string asanOptions = "verify_asan_link_order=0";
  const char* given = std::getenv("ASAN_OPTIONS");
  if (given != nullptr && *given != '\0') asanOptions = std::string(given) + ":" + asanOptions;
  return {{"LD_PRELOAD", kFailShim}, {"ASAN_OPTIONS", asanOptions}, {setting, value}};
}
