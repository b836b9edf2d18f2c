// The whole path of the core over one file held in memory, as both programs take
// it: header reading, the checks, loading, the memory listing and the drawing with
// every glyph the programs use, into outputs that are kept and compared with the
// reference reading, and the verdict and pixels with stb_image's.
#pragma once

#include <cstddef>

enum class CorePathEnd {
  Refused,  // CheckBitmap refused the file
  Drawn,    // loaded, listed and drawn
};

// Runs the path over `size` bytes at `data` as the picture file. Any disagreement
// between the steps or with the judges (a file accepted but not loadable, a drawing
// that differs from the reference reading, a pixel stb_image colours otherwise, ...) is a fault: it is reported on standard error and the process aborts,
// which a fuzzer records as a crash.
CorePathEnd RunCorePath(const unsigned char* data, std::size_t size);
