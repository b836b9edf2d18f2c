// Drawing a one-bit picture as character art: one character per pixel, one line per row.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "bitmap.h"

// The console's full block. Windows consoles under code pages 437 and 852 show
// byte 219 as the block; other systems' terminals are UTF-8, where it is U+2588.
#if defined(_WIN32)
inline constexpr std::string_view kFullBlockGlyph = "\xDB";
#else
inline constexpr std::string_view kFullBlockGlyph = "\xE2\x96\x88";
#endif

// The longest set glyph CharacterArt takes, in bytes: the UTF-8 block is three.
inline constexpr std::size_t kMaxGlyphBytes = 3;

// Draws the stored pixel rows top row first: a set bit (1) as `setGlyph`, a clear
// bit as a space, exactly `width` characters and a "\n" per row. Rows are `RowStride`
// bytes apart; bit 7 of a row's first byte is its leftmost pixel; padding bits are
// not drawn. Bottom-up and top-down pictures (negative height) both come out top first.
// Draws nothing and returns false when the buffer is shorter than the picture needs,
// the width is 0 or has its top bit set, or the glyph is empty or longer than kMaxGlyphBytes.
[[nodiscard]] bool CharacterArt(std::FILE* out, const unsigned char* pixels, std::uint64_t length,
                                const BitmapInfoHeader& infoHeader, std::string_view setGlyph);
