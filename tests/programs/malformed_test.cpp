// Malformed files, end to end on both programs: every case is a file (or what
// stands in its place) and the outcome it must have, worked out from what the file
// is. A file that can be drawn ends with status 0 and its picture; any other gets
// its message and status 255. monolook, which waits for a key after a refusal, is
// given one ("\n"), and every run is bounded by the runner's timeout.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "bmp_fixture.h"
#include "inspection.h"
#include "program_runner.h"
#include "programs.h"
#include "reference_reading.h"

namespace {

// A run that takes longer than this has hung: the programs need milliseconds.
constexpr int kTimeoutSeconds = 30;

enum class Outcome {
  Drawn,          // status 0, the picture (monolook: report, listing, picture, author)
  NotMonochrome,  // status 255, "not a one-bit uncompressed BMP"
  Damaged,        // status 255, "damaged or cut short"
  CannotOpen,     // status 255, "cannot be opened"
};

// Whether monolook prints the header report before its refusal: it does once both
// headers were read whole and the file starts with "BM", so the wrong field shows.
enum class Report { Shown, None };

struct MalformedCase {
  std::string name;
  Bytes file;
  Outcome outcome;
  Report report;
};

// The picture the cases are made from: 12 x 3, bottom row first, so rows take
// 4 bytes each and the 12 pixel bytes follow the 62 bytes of headers and palette.
const Art& BaseArt() {
  static const Art art{"#.##.#.##.#.", ".#..#.#..#.#", "##########.."};
  return art;
}
Bytes Base() { return BmpOfArt(BaseArt()); }
constexpr std::size_t kBaseLength = 74;

Bytes Cut(std::size_t length) {
  Bytes file = Base();
  file.resize(length);
  return file;
}

Bytes With32(std::size_t at, std::uint32_t value, Bytes file = Base()) {
  PutLe32(file, at, value);
  return file;
}

Bytes With16(std::size_t at, std::uint16_t value) {
  Bytes file = Base();
  PutLe16(file, at, value);
  return file;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string Hex(std::uint32_t value) {
  char text[16];
  (void)std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// The field offsets of the two headers.
constexpr std::size_t kFileSize = 2;
constexpr std::size_t kPixelOffset = 10;
constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kWidth = 18;
constexpr std::size_t kHeight = 22;
constexpr std::size_t kPlanes = 26;
constexpr std::size_t kBits = 28;
constexpr std::size_t kCompression = 30;

// A 32-bit header field and what each of the five telling values makes of the file.
struct Field32 {
  const char* name;
  std::size_t at;
  Outcome outcomes[5];  // for 0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF
};
constexpr std::uint32_t kValues32[5] = {0, 1, 0x7FFFFFFFU, 0x80000000U, 0xFFFFFFFFU};

// The 16-bit fields take the same five values in 16 bits.
struct Field16 {
  const char* name;
  std::size_t at;
  Outcome outcomes[5];  // for 0, 1, 0x7FFF, 0x8000, 0xFFFF
};
constexpr std::uint16_t kValues16[5] = {0, 1, 0x7FFF, 0x8000, 0xFFFF};

constexpr Outcome D = Outcome::Drawn;
constexpr Outcome N = Outcome::NotMonochrome;
constexpr Outcome X = Outcome::Damaged;

std::vector<MalformedCase> Cases() {
  std::vector<MalformedCase> cases;
  const auto add = [&](std::string name, Bytes file, Outcome outcome, Report report) {
    cases.push_back({std::move(name), std::move(file), outcome, report});
  };

  add("whole", Base(), D, Report::Shown);
  Bytes longer = Base();
  longer.insert(longer.end(), 100, 0xEE);
  add("bytes_after_the_pixels", longer, D, Report::Shown);
  add("top_down", BmpOfArt(BaseArt(), true, 0xFF), D, Report::Shown);

  // Cut at each field boundary of the headers. With no bytes, or one, there is
  // no "BM" to make it a BMP at all; from two bytes on it is a BMP cut short.
  add("empty_file", Cut(0), N, Report::None);
  add("cut_at_1", Cut(1), N, Report::None);
  for (const std::size_t length : {2U, 6U, 8U, 10U, 14U, 18U, 22U, 26U, 28U, 30U, 34U, 38U, 42U, 46U, 50U, 53U}) {
    add("cut_at_" + std::to_string(length), Cut(length), X, Report::None);
  }
  // Headers whole, then cut in the palette or the pixel array: the report shows
  // the headers, and the pixels the headers promise are not all there.
  for (const std::size_t length : {54U, 58U, 61U, 62U, 63U, 66U, 70U, 73U}) {
    add("cut_at_" + std::to_string(length), Cut(length), X, Report::Shown);
  }

  // Each header field set to the telling values. The stored file size is not
  // trusted (the real length is measured), so no value of it matters. The offset
  // must lie past both headers and leave room for the pixels. The information
  // header must be at least 40 bytes long, and no longer than the file. A width is 1 to 2^31-1; a height is
  // non-zero, negative for a top-down picture; rows stored at 0x7FFFFFFF pixels,
  // or 2^31-1 or 2^31 rows, cannot fit in the file. The planes are not looked at;
  // one bit per pixel and no compression are the only kind drawn.
  const Field32 fields32[] = {
      {"file_size", kFileSize, {D, D, D, D, D}},
      {"pixel_offset", kPixelOffset, {N, N, X, X, X}},
      {"header_size", kHeaderSize, {N, N, X, X, X}},
      {"width", kWidth, {N, D, X, N, N}},
      {"height", kHeight, {N, D, X, X, D}},
      {"compression", kCompression, {D, N, N, N, N}},
  };
  for (const Field32& field : fields32) {
    for (std::size_t i = 0; i < 5; ++i) {
      add(std::string(field.name) + "_" + Hex(kValues32[i]), With32(field.at, kValues32[i]), field.outcomes[i],
          Report::Shown);
    }
  }
  const Field16 fields16[] = {
      {"planes", kPlanes, {D, D, D, D, D}},
      {"bits_per_pixel", kBits, {N, D, N, N, N}},
  };
  for (const Field16& field : fields16) {
    for (std::size_t i = 0; i < 5; ++i) {
      add(std::string(field.name) + "_" + Hex(kValues16[i]), With16(field.at, kValues16[i]), field.outcomes[i],
          Report::Shown);
    }
  }

  // Where the pixel array starts. Inside the headers is no BMP layout; right after
  // them (no palette) the palette's bytes are pixels; past the end, or so late that
  // the rows run past it, the file is damaged.
  add("offset_into_file_header", With32(kPixelOffset, 6), N, Report::Shown);
  add("offset_at_info_header", With32(kPixelOffset, 14), N, Report::Shown);
  add("offset_one_short_of_the_headers", With32(kPixelOffset, 53), N, Report::Shown);
  add("offset_right_after_the_headers", With32(kPixelOffset, 54), D, Report::Shown);
  add("offset_rows_run_past_the_end", With32(kPixelOffset, 66), X, Report::Shown);
  add("offset_at_the_end", With32(kPixelOffset, kBaseLength), X, Report::Shown);
  add("offset_past_the_end", With32(kPixelOffset, kBaseLength + 1), X, Report::Shown);

  // Longer information headers: a BITMAPV4HEADER (108 bytes) and a BITMAPV5HEADER
  // (124) with their palette after them are drawn; pixels that start inside such a
  // header would be its colour masks; a file that ends inside one is cut short.
  const auto longHeader = [](std::uint32_t headerSize, std::uint32_t pixelOffset) {
    BmpFields fields;
    fields.headerSize = headerSize;
    fields.pixelOffset = pixelOffset;
    fields.width = static_cast<std::uint32_t>(BaseArt().front().size());
    fields.height = static_cast<std::uint32_t>(BaseArt().size());
    return BuildBmp(fields, PixelArray(BaseArt()));
  };
  add("v4_header", longHeader(108, 14 + 108 + 8), D, Report::Shown);
  add("v5_header", longHeader(124, 14 + 124 + 8), D, Report::Shown);
  // Each as long as a whole picture with that header, so only the offset is wrong.
  const auto offsetInside = [&](std::uint32_t headerSize, std::uint32_t pixelOffset) {
    Bytes file = longHeader(headerSize, pixelOffset);
    file.resize(14 + headerSize + 8 + 12, 0x5A);
    return file;
  };
  add("offset_inside_a_v4_header", offsetInside(108, 62), N, Report::Shown);
  add("offset_inside_a_v5_header", offsetInside(124, 54), N, Report::Shown);
  add("offset_one_short_of_a_v5_header_end", offsetInside(124, 14 + 124 - 1), N, Report::Shown);
  Bytes cutV5 = longHeader(124, 14 + 124 + 8);
  cutV5.resize(100);
  add("cut_inside_a_v5_header", cutV5, X, Report::Shown);

  // OS/2 1.x pictures: a 12-byte BITMAPCOREHEADER with 16-bit width, height, planes and
  // bit count at 18, 20, 22 and 24, three-byte palette entries from byte 26. A whole
  // one can be shorter than the 54 bytes of a Windows picture's headers.
  const Art wide33{"#.#..#...#....#.....#......#.....", "##.##.##.##.##.##.##.##.##.##.##.#"};
  add("os2_1x1_in_36_bytes", Os2BmpOfArt({"#"}), D, Report::Shown);
  add("os2_7x2_in_40_bytes", Os2BmpOfArt({"#.#.##.", ".##..##"}), D, Report::Shown);
  add("os2_12x3", Os2BmpOfArt(BaseArt()), D, Report::Shown);
  add("os2_33x2", Os2BmpOfArt(wide33), D, Report::Shown);
  add("os2_gap_before_the_pixels", Os2BmpOfArt(BaseArt(), 10), D, Report::Shown);
  add("os2_offset_right_after_the_header", With32(kPixelOffset, 26, Os2BmpOfArt(BaseArt())), D, Report::Shown);
  add("os2_offset_inside_the_header", With32(kPixelOffset, 25, Os2BmpOfArt(BaseArt())), N, Report::Shown);
  const auto os2With16 = [](std::size_t at, std::uint16_t value) {
    Bytes file = Os2BmpOfArt(BaseArt());
    PutLe16(file, at, value);
    return file;
  };
  add("os2_width_0", os2With16(18, 0), N, Report::Shown);
  add("os2_height_0", os2With16(20, 0), N, Report::Shown);
  add("os2_width_0xFFFF", os2With16(18, 0xFFFF), X, Report::Shown);
  add("os2_height_0xFFFF_not_top_down", os2With16(20, 0xFFFF), X, Report::Shown);
  add("os2_planes_0", os2With16(22, 0), D, Report::Shown);
  add("os2_24_bits_per_pixel", os2With16(24, 24), N, Report::Shown);
  for (const std::size_t length : {18U, 22U, 25U}) {
    Bytes cut = Os2BmpOfArt(BaseArt());
    cut.resize(length);
    add("os2_cut_at_" + std::to_string(length), cut, X, Report::None);
  }
  Bytes os2CutInPixels = Os2BmpOfArt(BaseArt());
  os2CutInPixels.pop_back();
  add("os2_cut_in_the_pixels", os2CutInPixels, X, Report::Shown);
  // A Windows header whose size field says 12: its 32-bit width reads as a width of 12
  // and a height of 0 (the width's high half).
  add("header_size_12_on_a_windows_header", With32(kHeaderSize, 12), N, Report::Shown);
  // Sizes between the two kinds are neither: refused whole, however short the file.
  add("header_size_13", With32(kHeaderSize, 13), N, Report::Shown);
  add("header_size_39_in_30_bytes", With32(kHeaderSize, 39, Cut(30)), N, Report::None);

  // Dimensions far beyond what 74 bytes hold, including products that wrap to
  // small numbers or zero in 32 bits.
  add("huge_65536_by_65536", With32(kHeight, 65536, With32(kWidth, 65536)), X, Report::Shown);
  add("huge_65536_by_524288", With32(kHeight, 524288, With32(kWidth, 65536)), X, Report::Shown);
  add("huge_largest_both", With32(kHeight, 0x7FFFFFFFU, With32(kWidth, 0x7FFFFFFFU)), X, Report::Shown);
  add("huge_largest_width_most_rows_top_down", With32(kHeight, 0x80000000U, With32(kWidth, 0x7FFFFFFFU)), X,
      Report::Shown);

  // Not a BMP at all, short or as long as the headers: no "BM", so no report.
  add("text", Text("hello\n"), N, Report::None);
  add("long_text", Text(std::string(200, 'x')), N, Report::None);
  Bytes png = Text("\x89PNG\r\n\x1A\n");
  png.resize(kBaseLength, 0);
  add("png_signature", png, N, Report::None);
  Bytes reversed = Base();
  std::swap(reversed[0], reversed[1]);
  add("signature_MB", reversed, N, Report::None);
  Bytes array = Base();
  array[1] = 'A';  // "BA", an OS/2 bitmap array
  add("signature_BA", array, N, Report::None);
  return cases;
}

// How gtest names the parameters in its messages and in the test list.
void PrintTo(const MalformedCase& c, std::ostream* out) { *out << c.name; }

// What the program must print for `c`.
std::string Expected(Which which, const MalformedCase& c) {
  if (which == Which::Sketch) {
    switch (c.outcome) {
      case Outcome::Drawn: return reference::Drawing(c.file, "@");
      case Outcome::NotMonochrome: return sketch_text::kNotMonochrome;
      case Outcome::Damaged: return sketch_text::kDamaged;
      case Outcome::CannotOpen: return sketch_text::kCannotOpen;
    }
  }
  const std::string report = c.report == Report::Shown ? inspection::Report(c.file) : std::string();
  switch (c.outcome) {
    case Outcome::Drawn: return inspection::Inspection(c.file);
    case Outcome::NotMonochrome: return report + look_text::kNotMonochrome;
    case Outcome::Damaged: return report + look_text::kDamaged;
    case Outcome::CannotOpen: return look_text::kCannotOpen;
  }
  return {};
}

// Runs the program in `folder`, answering monolook's wait with a key.
RunResult RunIn(const std::filesystem::path& folder, const std::string& executable, const Identity* as = nullptr) {
  Program program(executable, folder, {}, as);
  program.Send("\n");
  return program.Finish(kTimeoutSeconds);
}

// Checks one run against the outcome it must have.
void ExpectOutcome(Which which, const RunResult& r, const MalformedCase& c) {
  EXPECT_FALSE(r.timedOut) << "the program hung";
  const std::string expected = Expected(which, c);
  if (c.outcome == Outcome::Drawn) {
    ASSERT_NE(reference::Drawing(c.file, "@"), "") << "a drawn case must hold a picture";
    EXPECT_EQ(which == Which::Look ? inspection::Masked(r.out) : r.out, expected);
    EXPECT_EQ(r.status, 0);
  } else {
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 255);
  }
}

class Malformed : public testing::TestWithParam<std::tuple<MalformedCase, Which>> {};

TEST_P(Malformed, EndsWithItsOutcome) {
  const auto& [c, which] = GetParam();
  TempFolder folder;
  folder.Write(kImage, c.file);
  ExpectOutcome(which, RunIn(folder.Path(), Executable(which)), c);
}

std::string CaseName(const testing::TestParamInfo<std::tuple<MalformedCase, Which>>& info) {
  return std::get<0>(info.param).name + (std::get<1>(info.param) == Which::Sketch ? "_monosketch" : "_monolook");
}

INSTANTIATE_TEST_SUITE_P(Files, Malformed,
                         testing::Combine(testing::ValuesIn(Cases()), testing::Values(Which::Sketch, Which::Look)),
                         CaseName);

class InPlaceOfTheFile : public testing::TestWithParam<Which> {};

// A folder named like the picture opens (as a stream) on some systems but cannot
// be read: either way it cannot be opened as a picture.
TEST_P(InPlaceOfTheFile, AFolderCannotBeOpened) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / kImage);
  const MalformedCase c{"folder", {}, Outcome::CannotOpen, Report::None};
  ExpectOutcome(GetParam(), RunIn(folder.Path(), Executable(GetParam())), c);
}

// A file without read permission. Whoever may not read it gets "cannot be opened".
// Root reads every file whatever its mode, so a program run by root draws it; the
// test finds out which applies to itself by trying to open the file. When it runs
// as root it also runs the program as an unprivileged user, from a copy in the
// folder (the build folder may be closed to that user), so the refusal is shown
// on every system.
TEST_P(InPlaceOfTheFile, AFileWithoutReadPermission) {
  const Which which = GetParam();
  TempFolder folder;
  folder.Write(kImage, Base());
  const std::filesystem::path picture = folder.Path() / kImage;
  std::filesystem::permissions(picture, std::filesystem::perms::none);
  const bool readableAnyway = std::ifstream(picture, std::ios::binary).is_open();
  const MalformedCase drawn{"unreadable_by_root", Base(), Outcome::Drawn, Report::Shown};
  const MalformedCase refused{"unreadable", Base(), Outcome::CannotOpen, Report::None};
  {
    SCOPED_TRACE(readableAnyway ? "run by a user who reads every file" : "run by a user who may not read it");
    ExpectOutcome(which, RunIn(folder.Path(), Executable(which)), readableAnyway ? drawn : refused);
  }
  if (geteuid() != 0) return;

  SCOPED_TRACE("run as an unprivileged user");
  const std::filesystem::path copy = folder.Path() / "program";
  std::filesystem::copy_file(Executable(which), copy);
  using std::filesystem::perms;
  std::filesystem::permissions(folder.Path(), perms::owner_all | perms::group_read | perms::group_exec |
                                                  perms::others_read | perms::others_exec);
  std::filesystem::permissions(copy, perms::owner_all | perms::others_read | perms::others_exec);
  ExpectOutcome(which, RunIn(folder.Path(), copy.string(), &kNobody), refused);
}

// What stands in the picture's place and is no regular file: the programs must not wait on it.
// Each is made in the folder and held open by the test (`end`, when it has one) while
// the program runs, so nothing but the program's own choice ends its wait.
class NotAFile {
 public:
  NotAFile(const NotAFile&) = delete;
  NotAFile& operator=(const NotAFile&) = delete;
  ~NotAFile() {
    if (end_ >= 0) (void)close(end_);
  }
  int End() const { return end_; }

  // A FIFO that no process has opened: a blocking open waits for a writer.
  static std::unique_ptr<NotAFile> FifoWithoutWriter(const std::filesystem::path& place) {
    auto made = std::unique_ptr<NotAFile>(new NotAFile);
    if (mkfifo(place.c_str(), 0600) != 0) return nullptr;
    return made;
  }
  // A FIFO the test holds open for reading and writing, with a good picture in it: a
  // program that read it would take the bytes out.
  static std::unique_ptr<NotAFile> FifoHoldingAPicture(const std::filesystem::path& place) {
    auto made = FifoWithoutWriter(place);
    if (!made) return nullptr;
    made->end_ = open(place.c_str(), O_RDWR | O_NONBLOCK);
    const Bytes sample = Sample();
    if (made->end_ < 0 || write(made->end_, sample.data(), sample.size()) != static_cast<ssize_t>(sample.size())) {
      return nullptr;
    }
    return made;
  }
  // A link to a pseudo-terminal whose other side (held by the test) types nothing.
  static std::unique_ptr<NotAFile> Terminal(const std::filesystem::path& place) {
    auto made = std::unique_ptr<NotAFile>(new NotAFile);
    made->end_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (made->end_ < 0 || grantpt(made->end_) != 0 || unlockpt(made->end_) != 0) return nullptr;
    const char* terminal = ptsname(made->end_);
    if (terminal == nullptr || symlink(terminal, place.c_str()) != 0) return nullptr;
    return made;
  }
  // A link to a character device: /dev/null holds nothing, /dev/zero never ends.
  static std::unique_ptr<NotAFile> DevNull(const std::filesystem::path& place) { return LinkTo("/dev/null", place); }
  static std::unique_ptr<NotAFile> DevZero(const std::filesystem::path& place) { return LinkTo("/dev/zero", place); }
  // A listening Unix socket bound at the picture's path.
  static std::unique_ptr<NotAFile> Socket(const std::filesystem::path& place) {
    auto made = std::unique_ptr<NotAFile>(new NotAFile);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = place.string();
    if (path.size() >= sizeof address.sun_path) return nullptr;
    std::copy(path.begin(), path.end(), address.sun_path);
    made->end_ = socket(AF_UNIX, SOCK_STREAM, 0);
    if (made->end_ < 0 || bind(made->end_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(made->end_, 1) != 0) {
      return nullptr;
    }
    return made;
  }

 private:
  NotAFile() = default;
  static std::unique_ptr<NotAFile> LinkTo(const char* target, const std::filesystem::path& place) {
    auto made = std::unique_ptr<NotAFile>(new NotAFile);
    if (symlink(target, place.c_str()) != 0) return nullptr;
    return made;
  }
  int end_ = -1;
};

struct NotAFileCase {
  std::string name;
  // cppcheck-suppress unusedStructMember ; called through the structured binding in EndsAtOnceUnread
  std::unique_ptr<NotAFile> (*make)(const std::filesystem::path& place);
};

void PrintTo(const NotAFileCase& c, std::ostream* out) { *out << c.name; }

class InPlaceOfThePicture : public testing::TestWithParam<std::tuple<NotAFileCase, Which>> {};

// The program ends within a second with the message for a file that cannot be opened
// or read, and status 255; monolook's wait for a key is answered at once.
TEST_P(InPlaceOfThePicture, EndsAtOnceUnread) {
  const auto& [c, which] = GetParam();
  TempFolder folder;
  const std::unique_ptr<NotAFile> thing = c.make(folder.Path() / kImage);
  ASSERT_NE(thing, nullptr) << "cannot make " << c.name << ": " << std::strerror(errno);
  Program program(Executable(which), folder.Path());
  program.Send("\n");
  const bool ended = program.EndsWithin(1);
  const RunResult r = program.Finish(kTimeoutSeconds);
  EXPECT_TRUE(ended) << "still running after a second: it waits on the " << c.name;
  EXPECT_EQ(r.out, which == Which::Sketch ? sketch_text::kCannotOpen : look_text::kCannotOpen);
  EXPECT_EQ(r.status, 255);
  if (c.name == "fifo_holding_a_picture") {
    // Every byte of the picture is still in the FIFO: the program read none of them.
    Bytes left(Sample().size() + 1);
    EXPECT_EQ(read(thing->End(), left.data(), left.size()), static_cast<ssize_t>(Sample().size()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, InPlaceOfThePicture,
    testing::Combine(testing::Values(NotAFileCase{"fifo_without_writer", NotAFile::FifoWithoutWriter},
                                     NotAFileCase{"fifo_holding_a_picture", NotAFile::FifoHoldingAPicture},
                                     NotAFileCase{"terminal", NotAFile::Terminal},
                                     NotAFileCase{"socket", NotAFile::Socket},
                                     NotAFileCase{"dev_null", NotAFile::DevNull},
                                     NotAFileCase{"dev_zero", NotAFile::DevZero}),
                     testing::Values(Which::Sketch, Which::Look)),
    [](const testing::TestParamInfo<std::tuple<NotAFileCase, Which>>& info) {
      return std::get<0>(info.param).name + (std::get<1>(info.param) == Which::Sketch ? "_monosketch" : "_monolook");
    });

INSTANTIATE_TEST_SUITE_P(Programs, InPlaceOfTheFile, testing::Values(Which::Sketch, Which::Look),
                         [](const testing::TestParamInfo<Which>& info) {
                           return std::string(info.param == Which::Sketch ? "monosketch" : "monolook");
                         });

}  // namespace
