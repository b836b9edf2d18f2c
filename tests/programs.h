// The built programs, the sample picture and the programs' own texts, for end-to-end tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "bmp_fixture.h"

inline const std::string kMonosketch = MONOSKETCH_PATH;
inline const std::string kMonolook = MONOLOOK_PATH;
inline const std::string kFailShim = FAIL_SHIM_PATH;
// Builds of the two programs whose drawing fails.
inline const std::string kMonosketchDrawingFails = MONOSKETCH_DRAWING_FAILS_PATH;
inline const std::string kMonolookDrawingFails = MONOLOOK_DRAWING_FAILS_PATH;
inline constexpr const char* kImage = "intelww4.bmp";
inline const std::string kBlock = "\xE2\x96\x88";

namespace sketch_text {
inline const std::string kCannotOpen = "Soubor neni mozne otevrit.\n\nZkontrolujte soubor.\n";
inline const std::string kNotMonochrome = "Soubor neni jednobitovy nekomprimovany BMP.\n\nZkontrolujte soubor.\n";
inline const std::string kDamaged = "Soubor je poskozeny nebo zkraceny.\n\nZkontrolujte soubor.\n";
inline const std::string kNoMemory = "Pamet neni dostatecna\nProgram musi byt ukoncen\n";
inline const std::string kNotClosed = "Soubor neuzavren\nProvedte kontrolu\n";
}  // namespace sketch_text

namespace look_text {
inline const std::string kCannotOpen = "Chyba soubor nelze otevrit...Program bude ukoncen";
inline const std::string kNotMonochrome = "Chyba soubor neni jednobitovy nekomprimovany BMP...Program bude ukoncen";
inline const std::string kDamaged = "Chyba soubor je poskozeny nebo zkraceny...Program bude ukoncen";
inline const std::string kNoMemory = "Chyba nedostatek pameti...Program bude ukoncen";
inline const std::string kNotClosed = "Chyba nelze uzavrit soubor...";
inline const std::string kAuthor = "\nAutor: Bc. Bremik Sotnar  - K52R7716T\n\n";
}  // namespace look_text

inline Bytes Sample() {
  std::ifstream in(SAMPLE_PATH, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
