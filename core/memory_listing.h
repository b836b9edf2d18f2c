// A hexadecimal listing of a block of memory.
#pragma once

#include <cstdint>
#include <cstdio>

// Prints "Memory starting at 0x%08X: of length %d bytes\n\n" (the low 32 bits of the
// block's address; the length in decimal), then every byte as two uppercase hexadecimal
// digits and a space, sixteen to a line, each full line ended by "\n". A last line of
// fewer than sixteen bytes is left open for the caller to end. Prints nothing at all
// for a null block or a length of 0.
void MemoryListing(std::FILE* out, const unsigned char* block, std::uint64_t length);
