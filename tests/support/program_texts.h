// What the two programs print, word for word, for end-to-end tests and the reference tool.
#pragma once

#include <string>

// monolook's block on this system's terminals: U+2588 in UTF-8.
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
