// Both programs' failure paths under valgrind's memcheck: a missing file, a folder
// in its place, a refused file and a damaged one each end with their message and
// status, with no memory error, nothing left on the heap, and no file descriptor
// left open. Descriptors the program inherited (from the test, or from whatever ran
// the test) are not its own and are not counted. Without valgrind the tests are
// reported as skipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "bmp_fixture.h"
#include "inspection.h"
#include "program_runner.h"
#include "programs.h"

namespace {

const std::string kValgrind = VALGRIND_PATH;

// valgrind's status when it found an error, apart from the programs' own 255 and 254.
constexpr int kMemcheckFound = 99;

// What stands in the place of the picture.
enum class Place { Nothing, Folder, File };

struct FailurePath {
  std::string name;
  std::string program;
  Place place;
  Bytes file;
  std::string out;
};

void PrintTo(const FailurePath& c, std::ostream* out) { *out << c.name; }

std::vector<FailurePath> Cases() {
  const Bytes good = BmpOfArt({"#.#.#.#.#", ".#.#.#.#."});
  Bytes eightBits = good;
  PutLe16(eightBits, 28, 8);
  Bytes cut = good;
  cut.resize(good.size() - 1);
  using inspection::Report;
  return {
      {"monosketch_no_file", kMonosketch, Place::Nothing, {}, sketch_text::kCannotOpen},
      {"monosketch_folder", kMonosketch, Place::Folder, {}, sketch_text::kCannotOpen},
      {"monosketch_not_one_bit", kMonosketch, Place::File, eightBits, sketch_text::kNotMonochrome},
      {"monosketch_cut_short", kMonosketch, Place::File, cut, sketch_text::kDamaged},
      {"monolook_no_file", kMonolook, Place::Nothing, {}, look_text::kCannotOpen},
      {"monolook_folder", kMonolook, Place::Folder, {}, look_text::kCannotOpen},
      {"monolook_not_one_bit", kMonolook, Place::File, eightBits, Report(eightBits) + look_text::kNotMonochrome},
      {"monolook_cut_short", kMonolook, Place::File, cut, Report(cut) + look_text::kDamaged},
  };
}

// The descriptors memcheck lists as open at exit that the program did not inherit,
// each with the line that names it.
std::vector<std::string> OwnOpenDescriptors(const std::string& log) {
  std::vector<std::string> open;
  std::istringstream lines(log);
  std::string line;
  std::string named;  // an "Open file descriptor" line whose origin comes next
  while (std::getline(lines, line)) {
    if (!named.empty() && line.find("<inherited from parent>") == std::string::npos) open.push_back(named);
    named = line.find("Open file descriptor ") != std::string::npos ? line : std::string();
  }
  if (!named.empty()) open.push_back(named);
  return open;
}

class Memcheck : public testing::TestWithParam<FailurePath> {};

TEST_P(Memcheck, FailsCleanly) {
  if (kValgrind.empty()) GTEST_SKIP() << "valgrind is not installed";
  const FailurePath& c = GetParam();
  TempFolder folder;
  if (c.place == Place::Folder) std::filesystem::create_directory(folder.Path() / kImage);
  if (c.place == Place::File) folder.Write(kImage, c.file);
  TempFolder logs;
  const std::filesystem::path logPath = logs.Path() / "memcheck.log";

  Program program({kValgrind, "--error-exitcode=" + std::to_string(kMemcheckFound), "--leak-check=full",
                   "--show-leak-kinds=all", "--errors-for-leak-kinds=all", "--track-origins=yes",
                   "--track-fds=yes", "--log-file=" + logPath.string(), c.program},
                  folder.Path());
  program.Send("\n");  // the key monolook waits for
  const RunResult r = program.Finish(120);
  std::ifstream logFile(logPath);
  const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());

  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.status, 255) << "memcheck's log:\n" << log;
  ASSERT_NE(log.find("FILE DESCRIPTORS:"), std::string::npos) << "memcheck's log:\n" << log;
  EXPECT_EQ(OwnOpenDescriptors(log), std::vector<std::string>()) << "memcheck's log:\n" << log;
}

INSTANTIATE_TEST_SUITE_P(FailurePaths, Memcheck, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<FailurePath>& info) { return info.param.name; });

}  // namespace
