#include "console_output.h"

#include <clocale>

void SetUpConsole() {
#if defined(_WIN32)
  // In a locale other than "C", the C runtime turns the bytes of a text-mode stream
  // that it writes to a console into the characters they are in the locale's code
  // page, and the console shows those in its own output code page. In the "C" locale
  // the bytes go on alone: a UTF-8 console has no character for byte 219, and wine's
  // runtime widens it to U+00DB. Only LC_CTYPE changes: numbers print as before. Should
  // the runtime refuse, output stays as in the "C" locale.
  (void)std::setlocale(LC_CTYPE, ".437");
#endif
}
