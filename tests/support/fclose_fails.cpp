// Linked into test builds of the Windows programs with -Wl,--wrap=fclose: every
// fclose closes its stream as usual and then reports failure. No picture file can
// make closing fail, and a Windows program cannot have a library preloaded the way
// fail_shim.cpp is on POSIX systems, so this is how the programs' close-failure
// messages and exit statuses are run under wine.
#include <cstdio>

// The linker's --wrap=fclose fixes these two names; they are reserved identifiers
// on purpose.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" int __real_fclose(std::FILE* stream);

// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" int __wrap_fclose(std::FILE* stream) {
  __real_fclose(stream);
  return EOF;
}
