// Both programs on BMP files written by other encoders (ImageMagick, GraphicsMagick,
// netpbm's ppmtobmp, Pillow: tests/encoded/, made by make_encoded.sh from pictures it
// drew), judged by another decoder, netpbm's bmptopnm. For each file listed in
// tests/encoded/fixtures.txt:
// - bmptopnm's picture is the one the encoder was given, so the file holds that picture;
// - monosketch draws "@" exactly where bmptopnm shows palette entry 1 and a space where it
//   shows entry 0 (the palette is read here, straight from the file);
// - monolook prints what the reference reading says of the file, and its picture is
//   bmptopnm's too.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "inspection.h"
#include "program_runner.h"
#include "programs.h"
#include "reference_reading.h"

extern char** environ;

namespace {

const std::filesystem::path kEncodedFolder = ENCODED_FOLDER;

// A run that takes longer than this has hung: the programs need milliseconds.
constexpr int kTimeoutSeconds = 30;

// One line of fixtures.txt.
struct EncodedFile {
  std::string file;     // in tests/encoded/
  std::string encoder;  // imagemagick, graphicsmagick, ppmtobmp, pillow
  std::string form;     // the encoder's name for the kind of BMP file
  std::uint32_t headerSize = 0;
  std::string source;   // the picture given to the encoder, in tests/encoded/
};

// The files fixtures.txt lists, in its order; lines starting with '#' are comments.
std::vector<EncodedFile> Listed() {
  std::vector<EncodedFile> files;
  std::ifstream list(kEncodedFolder / "fixtures.txt");
  std::string line;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    EncodedFile entry;
    unsigned width = 0;
    unsigned height = 0;
    fields >> entry.file >> entry.encoder >> entry.form >> entry.headerSize >> width >> height >> entry.source;
    if (fields) files.push_back(entry);
  }
  return files;
}

// "imagemagick-bmp2-w33.bmp" is the case imagemagick_bmp2_w33.
std::string CaseName(const EncodedFile& entry) {
  std::string name = std::filesystem::path(entry.file).stem().string();
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

void PrintTo(const EncodedFile& entry, std::ostream* out) { *out << entry.file; }

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A colour of 8 bits a channel.
struct Colour {
  unsigned red = 0;
  unsigned green = 0;
  unsigned blue = 0;
  bool operator==(const Colour&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Colour& c) {
  return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

constexpr Colour kBlack{0, 0, 0};
constexpr Colour kWhite{255, 255, 255};

// A picture as a decoder gives it, top row first.
struct Picture {
  std::size_t width = 0;
  std::size_t height = 0;
  std::vector<Colour> pixels;  // row after row
  const Colour& At(std::size_t x, std::size_t y) const { return pixels[y * width + x]; }
};

// ---- PNM, as bmptopnm writes it and as make_encoded.sh drew the sources ----

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Moves `at` past whitespace and comments (from '#' to the end of its line).
void SkipSpace(const std::string& text, std::size_t& at) {
  while (at < text.size()) {
    if (text[at] == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
    } else if (IsSpace(text[at])) {
      ++at;
    } else {
      return;
    }
  }
}

// The decimal number after whitespace and comments from `at`; nothing when there is none.
std::optional<unsigned> NumberAt(const std::string& text, std::size_t& at) {
  SkipSpace(text, at);
  const std::size_t start = at;
  unsigned value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 9) {
    value = value * 10 + static_cast<unsigned>(text[at] - '0');
    ++at;
  }
  if (at == start) return std::nullopt;
  return value;
}

// A sample of `maxval` on the scale of 255, rounded.
unsigned Scaled(unsigned sample, unsigned maxval) { return (sample * 255 + maxval / 2) / maxval; }

// The next sample of a greyscale or colour raster: a number in a plain one, one byte
// or (maxval above 255) two bytes, most significant first, in a raw one.
std::optional<unsigned> SampleAt(const std::string& text, std::size_t& at, bool plain, unsigned maxval) {
  if (plain) return NumberAt(text, at);
  const std::size_t length = maxval > 255 ? 2 : 1;
  if (text.size() - at < length) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = 0; i < length; ++i) value = value * 256 + static_cast<unsigned char>(text[at + i]);
  at += length;
  return value;
}

// The bit of pixel (x, y) of a PBM raster from `at` (1 is black); nothing when it is missing.
std::optional<bool> PbmBit(const std::string& text, std::size_t& at, bool plain, std::size_t width, std::size_t x,
                           std::size_t y) {
  if (plain) {
    SkipSpace(text, at);
    if (at >= text.size() || (text[at] != '0' && text[at] != '1')) return std::nullopt;
    return text[at++] == '1';
  }
  const std::size_t byte = at + y * ((width + 7) / 8) + x / 8;
  if (byte >= text.size()) return std::nullopt;
  return ((static_cast<unsigned>(static_cast<unsigned char>(text[byte])) >> (7 - x % 8)) & 1U) != 0;
}

// Reads a PBM, PGM or PPM picture (plain or raw) into `picture`; returns what is
// wrong with it, or nothing.
std::string ReadPnm(const std::string& text, Picture& picture) {
  if (text.size() < 2 || text[0] != 'P' || text[1] < '1' || text[1] > '6') return "not a PNM picture";
  const char kind = text[1];
  const bool bits = kind == '1' || kind == '4';
  const bool plain = kind <= '3';
  const bool colour = kind == '3' || kind == '6';
  std::size_t at = 2;
  const auto width = NumberAt(text, at);
  const auto height = NumberAt(text, at);
  if (!width || !height || *width == 0 || *height == 0) return "no width and height";
  unsigned maxval = 1;
  if (!bits) {
    const auto stated = NumberAt(text, at);
    if (!stated || *stated == 0 || *stated > 65535) return "no maxval from 1 to 65535";
    maxval = *stated;
  }
  if (!plain) {
    if (at >= text.size() || !IsSpace(text[at])) return "no whitespace before the raster";
    ++at;
  }
  picture = Picture{*width, *height, {}};
  for (std::size_t y = 0; y < picture.height; ++y) {
    for (std::size_t x = 0; x < picture.width; ++x) {
      if (bits) {
        const auto black = PbmBit(text, at, plain, picture.width, x, y);
        if (!black) return "the raster ends early";
        picture.pixels.push_back(*black ? kBlack : kWhite);
        continue;
      }
      std::array<unsigned, 3> samples{};
      for (std::size_t i = 0; i < (colour ? 3U : 1U); ++i) {
        const auto sample = SampleAt(text, at, plain, maxval);
        if (!sample) return "the raster ends early";
        if (*sample > maxval) return "a sample above maxval";
        samples[i] = Scaled(*sample, maxval);
      }
      picture.pixels.push_back(colour ? Colour{samples[0], samples[1], samples[2]}
                                      : Colour{samples[0], samples[0], samples[0]});
    }
  }
  return {};
}

// ---- bmptopnm ----

struct Decoded {
  int startError = 0;    // errno of a failure to start it, ENOENT when it is not installed
  int status = -1;       // exit status 0..255, or -1 when it did not exit normally
  std::string out;       // the PNM picture
  std::string messages;  // standard error: bmptopnm says there what it read
};

// bmptopnm, found along PATH and started without a shell, run on `file`; its messages
// go to the file `messages`. Not through the program runner: in a cross build that runs
// everything under the target's emulator, and it mixes standard error into the picture.
Decoded Bmptopnm(const std::filesystem::path& file, const std::filesystem::path& messages) {
  Decoded decoded;
  int out[2];
  if (pipe(out) != 0) {
    decoded.startError = errno;
    return decoded;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string name = "bmptopnm";
  std::string path = file.string();
  char* argv[] = {name.data(), path.data(), nullptr};
  pid_t pid = -1;
  decoded.startError = posix_spawnp(&pid, name.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (decoded.startError == 0) {
    char block[4096];
    for (ssize_t n; (n = read(out[0], block, sizeof block)) > 0;) {
      decoded.out.append(block, static_cast<std::size_t>(n));
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) decoded.status = WEXITSTATUS(status);
  }
  close(out[0]);
  const Bytes text = ReadFile(messages);
  decoded.messages.assign(text.begin(), text.end());
  return decoded;
}

// ---- the file's own bytes ----

unsigned Le(const Bytes& file, std::size_t at, std::size_t length) {
  unsigned value = 0;
  for (std::size_t i = length; i-- > 0;) value = value * 256 + (at + i < file.size() ? file[at + i] : 0U);
  return value;
}

// The information header's size, stored at byte 14.
unsigned HeaderSize(const Bytes& file) { return Le(file, 14, 4); }

// Bits per pixel: at byte 24 after a 12-byte OS/2 header, else at byte 28.
unsigned BitCount(const Bytes& file) { return HeaderSize(file) == 12 ? Le(file, 24, 2) : Le(file, 28, 2); }

// The colours of pixel values 0 and 1. The palette follows the information header;
// its entries are blue, green, red, and a fourth byte unless the header is the 12-byte
// OS/2 one. Nothing when the file ends before them.
std::optional<std::array<Colour, 2>> PaletteOf(const Bytes& file) {
  const std::size_t size = HeaderSize(file);
  const std::size_t entry = size == 12 ? 3 : 4;
  const std::size_t start = 14 + size;
  if (file.size() < start + entry + 3) return std::nullopt;
  std::array<Colour, 2> palette;
  for (std::size_t i = 0; i < 2; ++i) {
    const std::size_t at = start + i * entry;
    palette[i] = Colour{file[at + 2], file[at + 1], file[at]};
  }
  return palette;
}

// ---- the cases ----

// Reports the first few of `differences`, and how many there were in all.
void ReportDifferences(const std::vector<std::string>& differences) {
  constexpr std::size_t kShown = 8;
  for (std::size_t i = 0; i < differences.size() && i < kShown; ++i) ADD_FAILURE() << differences[i];
  if (differences.size() > kShown) ADD_FAILURE() << differences.size() << " pixels differ in all";
}

// What a program draws of `picture` with `glyph`, where bmptopnm gives palette entry 1,
// and a space where it gives entry 0 ("?" where it gives neither).
std::string DrawingOf(const Picture& picture, const std::array<Colour, 2>& palette, const std::string& glyph) {
  std::string drawing;
  for (std::size_t y = 0; y < picture.height; ++y) {
    for (std::size_t x = 0; x < picture.width; ++x) {
      const Colour& c = picture.At(x, y);
      drawing += c == palette[1] ? glyph : c == palette[0] ? std::string(" ") : std::string("?");
    }
    drawing += "\n";
  }
  return drawing;
}

class Encoded : public testing::TestWithParam<EncodedFile> {
 protected:
  void SetUp() override {
    file_ = ReadFile(kEncodedFolder / GetParam().file);
    ASSERT_FALSE(file_.empty()) << GetParam().file << " cannot be read in " << kEncodedFolder;
    folder_.Write(kImage, file_);
    const Decoded decoded = Bmptopnm(folder_.Path() / kImage, folder_.Path() / "bmptopnm-messages.txt");
    ASSERT_EQ(decoded.startError, 0) << "bmptopnm cannot be started (" << std::strerror(decoded.startError)
                                     << "): it judges these pictures; install Debian's package netpbm";
    ASSERT_EQ(decoded.status, 0) << "bmptopnm " << GetParam().file << ": " << decoded.messages;
    const std::string error = ReadPnm(decoded.out, decoded_);
    ASSERT_EQ(error, "") << "bmptopnm's output for " << GetParam().file << ": " << decoded.messages;
  }

  // The palette's two entries, which must differ for the drawing to say anything.
  std::array<Colour, 2> Palette() const {
    const auto palette = PaletteOf(file_);
    if (!palette) {
      ADD_FAILURE() << GetParam().file << " ends before its two palette entries";
      return {};
    }
    EXPECT_NE((*palette)[0], (*palette)[1])
        << GetParam().file << ": both palette entries are " << (*palette)[0] << ", so a drawing shows nothing";
    return *palette;
  }

  Bytes file_;
  TempFolder folder_;
  Picture decoded_;  // bmptopnm's reading of the file
};

// The encoder wrote the picture it was given, in the form the list names.
TEST_P(Encoded, BmptopnmReadsTheSource) {
  const EncodedFile& entry = GetParam();
  EXPECT_EQ(HeaderSize(file_), entry.headerSize) << entry.file << ": the information header's size";
  EXPECT_EQ(BitCount(file_), 1U) << entry.file << ": bits per pixel";
  const Bytes sourceBytes = ReadFile(kEncodedFolder / entry.source);
  Picture source;
  ASSERT_EQ(ReadPnm(std::string(sourceBytes.begin(), sourceBytes.end()), source), "") << entry.source;
  ASSERT_EQ(decoded_.width, source.width) << entry.file << ": bmptopnm's width against " << entry.source;
  ASSERT_EQ(decoded_.height, source.height) << entry.file << ": bmptopnm's height against " << entry.source;
  std::vector<std::string> differences;
  for (std::size_t y = 0; y < source.height; ++y) {
    for (std::size_t x = 0; x < source.width; ++x) {
      if (decoded_.At(x, y) == source.At(x, y)) continue;
      std::ostringstream text;
      text << entry.file << ", pixel (" << x << ", " << y << "): bmptopnm gives " << decoded_.At(x, y) << ", "
           << entry.source << " has " << source.At(x, y);
      differences.push_back(text.str());
    }
  }
  ReportDifferences(differences);
}

// "@" where bmptopnm shows palette entry 1, a space where it shows entry 0.
TEST_P(Encoded, SketchDrawsWhatBmptopnmReads) {
  const EncodedFile& entry = GetParam();
  const std::array<Colour, 2> palette = Palette();
  Program sketch(kMonosketch, folder_.Path());
  const RunResult r = sketch.Finish(kTimeoutSeconds);
  ASSERT_FALSE(r.timedOut) << entry.file << ": monosketch hung";
  EXPECT_EQ(r.status, 0) << entry.file << ": monosketch printed\n" << r.out;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), decoded_.height) << entry.file << ": monosketch's lines against bmptopnm's rows";
  EXPECT_EQ(r.out.back(), '\n') << entry.file << ": monosketch's last line is not ended";
  std::vector<std::string> differences;
  for (std::size_t y = 0; y < decoded_.height; ++y) {
    ASSERT_EQ(lines[y].size(), decoded_.width)
        << entry.file << ": monosketch's line " << y << " against bmptopnm's width";
    for (std::size_t x = 0; x < decoded_.width; ++x) {
      const char cell = lines[y][x];
      const Colour& colour = decoded_.At(x, y);
      const bool agree = (cell == '@' && colour == palette[1]) || (cell == ' ' && colour == palette[0]);
      if (agree) continue;
      std::ostringstream text;
      text << entry.file << ", pixel (" << x << ", " << y << "): monosketch draws '" << cell << "', bmptopnm gives "
           << colour << "; palette entry 0 is " << palette[0] << ", entry 1 " << palette[1];
      differences.push_back(text.str());
    }
  }
  ReportDifferences(differences);
}

// The report, the listing and the picture of the reference reading, the picture being
// bmptopnm's too.
TEST_P(Encoded, LookPrintsTheReferenceReading) {
  const EncodedFile& entry = GetParam();
  const std::array<Colour, 2> palette = Palette();
  Program look(kMonolook, folder_.Path());
  look.Send("\n");  // the key it waits for after a refusal
  const RunResult r = look.Finish(kTimeoutSeconds);
  ASSERT_FALSE(r.timedOut) << entry.file << ": monolook hung";
  EXPECT_EQ(r.status, 0) << entry.file;
  EXPECT_NE(reference::Drawing(file_, "@"), "") << entry.file << ": the reference reading draws nothing";
  const std::string out = inspection::Masked(r.out);
  EXPECT_EQ(out, inspection::Inspection(file_)) << entry.file;
  const std::string drawing = DrawingOf(decoded_, palette, kBlock);
  EXPECT_NE(out.find("\n" + drawing + look_text::kAuthor), std::string::npos)
      << entry.file << ": bmptopnm's picture, palette entry 1 drawn as blocks, is not in monolook's output:\n"
      << drawing;
}

INSTANTIATE_TEST_SUITE_P(EncodedPictures, Encoded, testing::ValuesIn(Listed()),
                         [](const testing::TestParamInfo<EncodedFile>& info) { return CaseName(info.param); });

// Every BMP file of the folder is a case, and every listed file and source is there.
TEST(EncodedFolder, ListsEveryFileItHolds) {
  std::set<std::string> listed;
  for (const EncodedFile& entry : Listed()) {
    listed.insert(entry.file);
    EXPECT_TRUE(std::filesystem::is_regular_file(kEncodedFolder / entry.file)) << entry.file << " is listed, not there";
    EXPECT_TRUE(std::filesystem::is_regular_file(kEncodedFolder / entry.source)) << entry.source << " is missing";
  }
  EXPECT_FALSE(listed.empty()) << "fixtures.txt in " << kEncodedFolder << " lists no file";
  for (const auto& item : std::filesystem::directory_iterator(kEncodedFolder)) {
    if (item.path().extension() != ".bmp") continue;
    EXPECT_EQ(listed.count(item.path().filename().string()), 1U) << item.path().filename() << " is not listed";
  }
}

}  // namespace
