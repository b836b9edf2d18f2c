// Preloaded into a program under test to make the C library fail on request:
//   MONO_FAIL_MALLOC_ABOVE=N  malloc or aligned_alloc of more than N bytes returns null
//   MONO_FAIL_FCLOSE=1        fclose closes the stream but reports failure
// Failures that a picture file cannot cause are shown this way on the real programs.
//
// Every call the shim lets through goes on to the next definition after it
// (dlsym(RTLD_NEXT)): the C library's in a plain build, the AddressSanitizer
// runtime's in a sanitizer build, whose free() must get back only blocks its own
// malloc() made. The programs are single-threaded, so plain statics do.
#include <dlfcn.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

using MallocFn = void* (*)(std::size_t);
using AlignedAllocFn = void* (*)(std::size_t, std::size_t);
using FreeFn = void (*)(void*);
using FcloseFn = int (*)(std::FILE*);

// Read without allocating: getenv and a hand-made decimal parse. Read afresh on
// every call: the first allocations of a process can come before its environment
// is set up (in a sanitizer build they do), and a value kept from then would be wrong.
std::size_t MallocLimit() {
  const char* text = std::getenv("MONO_FAIL_MALLOC_ABOVE");
  if (text == nullptr || *text == '\0') return static_cast<std::size_t>(-1);
  std::size_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<std::size_t>(*text - '0');
  return value;
}

// dlsym may itself allocate while it looks up the next malloc (the C library keeps
// a failed lookup's message on the heap). Those few blocks come from this static
// store, are never handed to the next free(), and are not reused.
alignas(std::max_align_t) unsigned char earlyStore[4096];
std::size_t earlyUsed = 0;
bool lookingUp = false;

void* EarlyBlock(std::size_t size) {
  constexpr std::size_t kAlign = alignof(std::max_align_t);
  const std::size_t rounded = (size + kAlign - 1) / kAlign * kAlign;
  if (rounded < size || rounded > sizeof earlyStore - earlyUsed) {
    errno = ENOMEM;
    return nullptr;
  }
  void* block = earlyStore + earlyUsed;
  earlyUsed += rounded;
  return block;
}

bool IsEarlyBlock(const void* block) {
  const auto* byte = static_cast<const unsigned char*>(block);
  return byte >= earlyStore && byte < earlyStore + sizeof earlyStore;
}

// The next definition of `name`, looked up once; null while that lookup is under way.
template <typename Fn>
Fn Next(Fn& cached, const char* name) {
  if (cached == nullptr && !lookingUp) {
    lookingUp = true;
    cached = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
    lookingUp = false;
  }
  return cached;
}

MallocFn nextMalloc = nullptr;
AlignedAllocFn nextAlignedAlloc = nullptr;
FreeFn nextFree = nullptr;
FcloseFn nextFclose = nullptr;

}  // namespace

extern "C" void* malloc(std::size_t size) {
  if (size > MallocLimit()) {
    errno = ENOMEM;
    return nullptr;
  }
  const MallocFn real = Next(nextMalloc, "malloc");
  return real != nullptr ? real(size) : EarlyBlock(size);
}

extern "C" void* aligned_alloc(std::size_t alignment, std::size_t size) {
  if (size > MallocLimit()) {
    errno = ENOMEM;
    return nullptr;
  }
  const AlignedAllocFn real = Next(nextAlignedAlloc, "aligned_alloc");
  if (real == nullptr) {
    errno = ENOMEM;
    return nullptr;
  }
  return real(alignment, size);
}

extern "C" void free(void* block) {
  if (block == nullptr || IsEarlyBlock(block)) return;
  const FreeFn real = Next(nextFree, "free");
  // A block freed by dlsym during the lookup of free itself is left to the end of the process.
  if (real != nullptr) real(block);
}

extern "C" int fclose(std::FILE* stream) {
  const FcloseFn real = Next(nextFclose, "fclose");
  if (real == nullptr) {
    errno = EIO;
    return EOF;
  }
  const int result = real(stream);
  const char* fail = std::getenv("MONO_FAIL_FCLOSE");
  if (fail != nullptr && *fail == '1') {
    errno = EIO;
    return EOF;
  }
  return result;
}
