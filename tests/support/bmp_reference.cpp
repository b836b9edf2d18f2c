// The tests' reading of a picture for the shell tests: reads a BMP file on standard
// input and prints what the reference reading says of it.
//
//   bmp_reference drawing GLYPH     the picture, GLYPH (in hexadecimal: 40 is "@") for a set pixel
//   bmp_reference report            monolook's header report
//   bmp_reference inspection GLYPH  all that monolook prints, the listed address as XXXXXXXX
//   bmp_reference width | rows      the picture's width, its number of rows
#include <cstdio>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "inspection.h"
#include "reference_reading.h"

namespace {

// "E29688" as the bytes E2 96 88; empty for anything that is not pairs of hexadecimal digits.
std::string FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return {};
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

int Usage() {
  (void)std::fputs("usage: bmp_reference drawing GLYPH | report | inspection GLYPH | width | rows  < FILE\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  // Bytes in and out as they are: no CR LF translation.
  (void)_setmode(_fileno(stdin), _O_BINARY);
  (void)_setmode(_fileno(stdout), _O_BINARY);
#endif
  if (argc < 2) return Usage();
  const std::string what = argv[1];
  const std::string glyph = argc > 2 ? FromHex(argv[2]) : std::string();
  std::vector<unsigned char> file;
  unsigned char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) file.insert(file.end(), chunk, chunk + n);

  const reference::Fields fields = reference::ReadFields(file);
  std::string out;
  if (what == "drawing" && !glyph.empty()) {
    out = reference::Drawing(file, glyph);
  } else if (what == "report") {
    out = inspection::Report(file);
  } else if (what == "inspection" && !glyph.empty()) {
    out = inspection::Inspection(file, glyph);
  } else if (what == "width") {
    out = std::to_string(fields.width) + "\n";
  } else if (what == "rows") {
    out = std::to_string(reference::Rows(fields)) + "\n";
  } else {
    return Usage();
  }
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
