// Preloaded into a program under test to make the C library fail on request:
//   MONO_FAIL_MALLOC_ABOVE=N  malloc of more than N bytes returns null
//   MONO_FAIL_FCLOSE=1        fclose closes the stream but reports failure
// Failures that a picture file cannot cause are shown this way on the real programs.
#include <dlfcn.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

extern "C" void* __libc_malloc(std::size_t size);

namespace {

// Read without allocating: getenv and a hand-made decimal parse.
std::size_t MallocLimit() {
  static const std::size_t limit = [] {
    const char* text = std::getenv("MONO_FAIL_MALLOC_ABOVE");
    std::size_t value = 0;
    if (text == nullptr || *text == '\0') return static_cast<std::size_t>(-1);
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<std::size_t>(*text - '0');
    return value;
  }();
  return limit;
}

}  // namespace

extern "C" void* malloc(std::size_t size) {
  if (size > MallocLimit()) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(size);
}

extern "C" int fclose(std::FILE* stream) {
  using Fclose = int (*)(std::FILE*);
  static const auto real = reinterpret_cast<Fclose>(dlsym(RTLD_NEXT, "fclose"));
  const int result = real(stream);
  const char* fail = std::getenv("MONO_FAIL_FCLOSE");
  if (fail != nullptr && *fail == '1') {
    errno = EIO;
    return EOF;
  }
  return result;
}
