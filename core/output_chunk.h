// A fixed block of output bytes handed to a stream whenever it fills, so that
// drawing and listing make few large writes instead of one per character.
// The block is static storage, not the stack: the programs then run under a
// stack limit as small as the one `cat` needs. One chunk is in use at a time
// (the drawing and the listing each take it in turn; the programs run one thread).
#pragma once

#include <cstddef>
#include <cstdio>

class OutputChunk {
 public:
  // The most bytes one Reserve() may ask for.
  static constexpr std::size_t kMaxReserve = std::size_t{16} * 1024;

  // Only the bytes_[0, used_) that Commit() counted, each written before, are
  // ever handed to the stream.
  explicit OutputChunk(std::FILE* out) : out_(out) {}
  OutputChunk(const OutputChunk&) = delete;
  OutputChunk& operator=(const OutputChunk&) = delete;
  ~OutputChunk() { Flush(); }

  // A place to write up to `count` (at most kMaxReserve) bytes; Commit() says how many were written.
  char* Reserve(std::size_t count) {
    if (used_ + count > sizeof bytes_) Flush();
    return bytes_ + used_;
  }
  void Commit(std::size_t count) { used_ += count; }

  void Put(char c) {
    *Reserve(1) = c;
    Commit(1);
  }

  // A write that fails leaves the stream's error indicator set (ferror) for
  // whoever owns the stream; the bytes after it are handed on all the same.
  void Flush() {
    if (used_ > 0) (void)std::fwrite(bytes_, 1, used_, out_);
    used_ = 0;
  }

 private:
  std::FILE* out_;
  std::size_t used_ = 0;
  static inline char bytes_[64 * 1024];
};
