#include "console_output.h"

#include <cstdio>

void SetUpConsole() {
  static char buffer[128 * 1024];
  // Should the system refuse, output keeps its default buffering: slower, still right.
  (void)std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}
