// Preloaded into a program under test to make the C library fail on request:
//   MONO_FAIL_MALLOC_ABOVE=N  malloc or aligned_alloc of more than N bytes returns null
//   MONO_FAIL_FCLOSE=1        fclose closes the stream but reports failure
//   MONO_FAIL_STDOUT_FWRITE=N the Nth fwrite to standard output is passed on, and the
//                             stream flushed, with descriptor 1 pointing at /dev/full:
//                             the C library's own writes fail, set the stream's error
//                             indicator and drop what was buffered and what that fwrite
//                             gave, however the stream is buffered; descriptor 1 is then
//                             put back, so later writes succeed
//   MONO_SWAP_ON_OPEN=KIND    the first open of intelww4.bmp finds something else in the
//                             file's place, as if another process had put it there after
//                             the program looked at the file: "fifo", a FIFO without a
//                             writer, or "dev_null", a link to /dev/null
// Failures that a picture file cannot cause are shown this way on the real programs.
//
// Every call the shim lets through goes on to the next definition after it
// (dlsym(RTLD_NEXT)): the C library's in a plain build, the AddressSanitizer
// runtime's in a sanitizer build, whose free() must get back only blocks its own
// malloc() made. The programs are single-threaded, so plain statics do.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using MallocFn = void* (*)(std::size_t);
using AlignedAllocFn = void* (*)(std::size_t, std::size_t);
using FreeFn = void (*)(void*);
using FcloseFn = int (*)(std::FILE*);
using FwriteFn = std::size_t (*)(const void*, std::size_t, std::size_t, std::FILE*);
using OpenFn = int (*)(const char*, int, ...);

// A setting's number, or `unset` when it is not given. Read without allocating:
// getenv and a hand-made decimal parse. Read afresh on every call: the first
// allocations of a process can come before its environment is set up (in a
// sanitizer build they do), and a value kept from then would be wrong.
std::size_t Setting(const char* name, std::size_t unset) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return unset;
  std::size_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<std::size_t>(*text - '0');
  return value;
}

std::size_t MallocLimit() { return Setting("MONO_FAIL_MALLOC_ABOVE", static_cast<std::size_t>(-1)); }

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
FwriteFn nextFwrite = nullptr;
OpenFn nextOpen = nullptr;
OpenFn nextOpen64 = nullptr;

std::size_t stdoutWrites = 0;  // fwrite calls on standard output so far

// Passes one fwrite to standard output on, then flushes the stream, with descriptor 1
// pointing at /dev/full: every write of the C library fails, as on a full disk.
// Descriptor 1 is the program's own again afterwards.
std::size_t WriteIntoFullDevice(FwriteFn real, const void* data, std::size_t size, std::size_t count,
                                std::FILE* stream) {
  std::size_t written = 0;
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  const int saved = dup(STDOUT_FILENO);
  if (full >= 0 && saved >= 0 && dup2(full, STDOUT_FILENO) == STDOUT_FILENO) {
    written = real(data, size, count, stream);
    (void)std::fflush(stream);
    (void)dup2(saved, STDOUT_FILENO);
  }
  if (full >= 0) (void)close(full);
  if (saved >= 0) (void)close(saved);
  return written;
}

// Puts what MONO_SWAP_ON_OPEN names in the place of the picture at `path`, once.
void SwapOnOpen(const char* path) {
  static bool swapped = false;
  const char* kind = std::getenv("MONO_SWAP_ON_OPEN");
  const char* slash = std::strrchr(path, '/');
  const char* name = slash != nullptr ? slash + 1 : path;
  if (swapped || kind == nullptr || std::strcmp(name, "intelww4.bmp") != 0) return;
  swapped = true;
  (void)unlink(path);
  if (std::strcmp(kind, "fifo") == 0) (void)mkfifo(path, 0600);
  if (std::strcmp(kind, "dev_null") == 0) (void)symlink("/dev/null", path);
}

// The mode argument, there only when the open may create a file.
mode_t ModeArgument(int flags, std::va_list arguments) {
  bool creates = (flags & O_CREAT) != 0;
#if defined(O_TMPFILE)
  creates = creates || (flags & O_TMPFILE) == O_TMPFILE;
#endif
  return creates ? va_arg(arguments, mode_t) : 0;
}

// open and open64 (which a build with 64-bit file offsets calls) after the swap.
int OpenAfterSwap(OpenFn& cached, const char* symbol, const char* path, int flags, std::va_list arguments) {
  const mode_t mode = ModeArgument(flags, arguments);
  SwapOnOpen(path);
  const OpenFn real = Next(cached, symbol);
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  return real(path, flags, mode);
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  std::va_list arguments;
  va_start(arguments, flags);
  const int fd = OpenAfterSwap(nextOpen, "open", path, flags, arguments);
  va_end(arguments);
  return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
  std::va_list arguments;
  va_start(arguments, flags);
  const int fd = OpenAfterSwap(nextOpen64, "open64", path, flags, arguments);
  va_end(arguments);
  return fd;
}

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

extern "C" std::size_t fwrite(const void* data, std::size_t size, std::size_t count, std::FILE* stream) {
  const FwriteFn real = Next(nextFwrite, "fwrite");
  if (real == nullptr) {
    errno = EIO;
    return 0;
  }
  if (stream == stdout && ++stdoutWrites == Setting("MONO_FAIL_STDOUT_FWRITE", 0)) {
    return WriteIntoFullDevice(real, data, size, count, stream);
  }
  return real(data, size, count, stream);
}
