// A fixed block of output bytes handed to a stream whenever it fills, so that
// drawing and listing make few large writes instead of one per character.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

class OutputChunk {
 public:
  // The most bytes one Reserve() may ask for.
  static constexpr std::size_t kMaxReserve = 64;

  // bytes_ is scratch space left uninitialised: only the bytes_[0, used_) that
  // Commit() counted, each written before, are ever handed to the stream.
  // cppcheck-suppress uninitMemberVar
  explicit OutputChunk(std::FILE* out) : out_(out) {}
  OutputChunk(const OutputChunk&) = delete;
  OutputChunk& operator=(const OutputChunk&) = delete;
  ~OutputChunk() { Flush(); }

  // A place to write up to kMaxReserve bytes; Commit() says how many were written.
  char* Reserve() {
    if (used_ + kMaxReserve > sizeof bytes_) Flush();
    return bytes_ + used_;
  }
  void Commit(std::size_t count) { used_ += count; }

  void Put(char c) { *Reserve() = c; Commit(1); }

  // A write that fails leaves the stream's error indicator set (ferror) for
  // whoever owns the stream; the bytes after it are handed on all the same.
  void Flush() {
    if (used_ > 0) (void)std::fwrite(bytes_, 1, used_, out_);
    used_ = 0;
  }

 private:
  std::FILE* out_;
  std::size_t used_ = 0;
  char bytes_[64 * 1024];
};
