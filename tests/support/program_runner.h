// Runs the built programs in a folder of their own and collects what they print.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bmp_fixture.h"

// A fresh folder below the system's temporary folder, removed with all it holds.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  void Write(const std::string& name, const Bytes& bytes) const;

 private:
  std::filesystem::path path_;
};

struct RunResult {
  std::string out;      // standard output and standard error, as printed
  int status = -1;      // exit status 0..255, or -1 when it did not exit normally
  bool timedOut = false;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// A user and group to run a program as; only a process run by root can change to them.
struct Identity {
  uid_t user = 0;
  gid_t group = 0;
};

// The unprivileged user and group most systems have ("nobody", "nogroup").
inline constexpr Identity kNobody{65534, 65534};

// A program and its arguments.
using Command = std::vector<std::string>;

// One run of a program whose standard input is a pipe the test holds.
class Program {
 public:
  // With `as`, the program runs as that user and group, with no supplementary groups
  // (a program that cannot be made to is ended with status 126 before it starts).
  // With `stackBytes`, the program's stack is limited to that many bytes (RLIMIT_STACK).
  Program(const std::string& executable, const std::filesystem::path& folder, const Environment& env = {},
          const Identity* as = nullptr)
      : Program(Command{executable}, folder, env, as) {}
  Program(const Command& command, const std::filesystem::path& folder, const Environment& env = {},
          const Identity* as = nullptr, std::size_t stackBytes = 0);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  void Send(const std::string& text);
  void CloseInput();
  // Collects output for `milliseconds`; true if the program is still running afterwards.
  bool RunningAfter(int milliseconds);
  // Collects output until the program ends, standard input left open; false if it is
  // still running after `seconds`.
  bool EndsWithin(int seconds) { return !RunningAfter(seconds * 1000); }
  // Collects output until it ends with `text` (at most `seconds`); true if it does and
  // the program is still running a moment (200 ms) after it: it waits for its input.
  bool WaitsAfter(const std::string& text, int seconds);
  // Collects output until `bytes` of it have come, the program ends, or `seconds` pass;
  // returns all output so far.
  const std::string& OutputOnceItHolds(std::size_t bytes, int seconds);
  // Closes standard input and waits for the end, at most `seconds`; kills the program then.
  RunResult Finish(int seconds = 60);

 private:
  bool Pump(int milliseconds);  // true once the program has ended
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  bool ended_ = false;
  int status_ = -1;
  std::string out_;
};

// Runs `executable` in `folder` with `input` on standard input (then end of input).
RunResult RunProgram(const std::string& executable, const std::filesystem::path& folder,
              const std::string& input = "", const Environment& env = {});

// Splits output into lines without their "\n"; a last unterminated line is kept.
std::vector<std::string> Lines(const std::string& text);
