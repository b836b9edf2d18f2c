// How both programs open the picture, end to end: a FIFO whose writer waits in its own
// open is left alone, a picture under another process's write lease is drawn once that
// process lets it go, and a picture put aside between the programs' look at it and
// their open is not read.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "bmp_fixture.h"
#include "inspection.h"
#include "program_runner.h"
#include "programs.h"
#include "reference_reading.h"

namespace {

// A run that takes longer than this has hung: the programs need milliseconds.
constexpr int kTimeoutSeconds = 30;

const std::string& CannotOpen(Which which) {
  return which == Which::Sketch ? sketch_text::kCannotOpen : look_text::kCannotOpen;
}

// What a successful run prints for the sample, from the reference reading of its bytes.
std::string SampleDrawn(Which which) {
  return which == Which::Sketch ? reference::Drawing(Sample(), "@") : inspection::Inspection(Sample());
}

// A process that writes `bytes` into the FIFO at `fifo`. It waits in its open until a
// reader comes, and the moment that open returns it says so through a pipe. It ends with
// 0 once every byte is written; SIGPIPE ends it if its reader goes away first.
class WaitingWriter {
 public:
  WaitingWriter(const std::filesystem::path& fifo, const Bytes& bytes) {
    int told[2];
    if (pipe(told) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      (void)close(told[0]);
      const int fd = open(fifo.c_str(), O_WRONLY);  // waits for a reader
      if (fd < 0 || write(told[1], "o", 1) != 1) _exit(2);
      std::size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) _exit(1);
        done += static_cast<std::size_t>(n);
      }
      _exit(0);
    }
    (void)close(told[1]);
    told_ = told[0];
  }
  ~WaitingWriter() {
    if (pid_ > 0 && !reaped_) {
      (void)kill(pid_, SIGKILL);
      (void)waitpid(pid_, nullptr, 0);
    }
    if (told_ >= 0) (void)close(told_);
  }
  WaitingWriter(const WaitingWriter&) = delete;
  WaitingWriter& operator=(const WaitingWriter&) = delete;

  bool Started() const { return pid_ > 0 && told_ >= 0; }
  // True if its open has returned, or does within `milliseconds`.
  bool Opened(int milliseconds) const {
    pollfd ready{told_, POLLIN, 0};
    return poll(&ready, 1, milliseconds) > 0;
  }
  // Its exit status once it ends (at most `seconds` later), or -1 if it did not exit.
  int Status(int seconds) {
    for (int waited = 0; waited < seconds * 100; ++waited) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      const timespec pause{0, 10000000};  // 10 ms
      (void)nanosleep(&pause, nullptr);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int told_ = -1;
  bool reaped_ = false;
};

// Everything a FIFO holds until its writers close it; reading stops after `seconds`
// without a byte. The open does not wait: with no writer, nothing is read.
Bytes ReadWholeFifo(const std::filesystem::path& fifo, int seconds) {
  Bytes got;
  const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return got;
  unsigned char chunk[4096];
  pollfd ready{fd, POLLIN, 0};
  while (poll(&ready, 1, seconds * 1000) > 0) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0 && !(n < 0 && errno == EAGAIN)) break;
    if (n > 0) got.insert(got.end(), chunk, chunk + n);
  }
  (void)close(fd);
  return got;
}

class OpeningThePicture : public testing::TestWithParam<Which> {};

// A FIFO in the picture's place whose writer is waiting for a reader: the program gives
// the open message without opening it, so the writer goes on waiting, and a real reader
// that comes later gets every byte it writes.
TEST_P(OpeningThePicture, FifoWriterGoesOnWaiting) {
  const Which which = GetParam();
  TempFolder folder;
  const std::filesystem::path fifo = folder.Path() / kImage;
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  WaitingWriter writer(fifo, Sample());
  ASSERT_TRUE(writer.Started());
  ASSERT_FALSE(writer.Opened(200)) << "the writer's open returned before any reader came";

  Program program(Executable(which), folder.Path());
  program.Send("\n");
  const RunResult r = program.Finish(kTimeoutSeconds);
  EXPECT_EQ(r.out, CannotOpen(which));
  EXPECT_EQ(r.status, 255);
  EXPECT_FALSE(writer.Opened(500)) << "the program opened the FIFO: its writer was released";

  EXPECT_EQ(ReadWholeFifo(fifo, 10), Sample()) << "a reader after the program did not get every byte";
  EXPECT_EQ(writer.Status(10), 0) << "the writer did not write every byte";
}

// Ignores SIGIO while it lives: the kernel sends it to a lease holder when an open breaks
// its lease, and by default it would end the test.
class SigioIgnored {
 public:
  SigioIgnored() : old_(signal(SIGIO, SIG_IGN)) {}
  ~SigioIgnored() { (void)signal(SIGIO, old_); }
  SigioIgnored(const SigioIgnored&) = delete;
  SigioIgnored& operator=(const SigioIgnored&) = delete;

 private:
  sighandler_t old_;
};

// A file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) (void)close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// A picture under a write lease that the test holds, as a file server holds one on a
// file it has handed out. The program's open asks for the lease to be broken; while the
// test still holds it the program waits, and once the test lets it go the program draws
// the picture, as cat would read it.
TEST_P(OpeningThePicture, LeasedPictureIsDrawnOnceLetGo) {
  const Which which = GetParam();
  TempFolder folder;
  folder.Write(kImage, Sample());
  const SigioIgnored sigio;
  const Descriptor lease(open((folder.Path() / kImage).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_GE(lease.Get(), 0) << std::strerror(errno);
  ASSERT_EQ(fcntl(lease.Get(), F_SETLEASE, F_WRLCK), 0) << "cannot take a write lease: " << std::strerror(errno);

  Program program(Executable(which), folder.Path());
  program.CloseInput();
  bool broken = false;
  for (int waited = 0; waited < kTimeoutSeconds * 100 && !broken; ++waited) {
    broken = fcntl(lease.Get(), F_GETLEASE) != F_WRLCK;  // the kernel asks for it back
    if (!broken && !program.RunningAfter(10)) break;
  }
  EXPECT_TRUE(broken) << "the program did not ask for the lease to be broken";
  EXPECT_TRUE(program.RunningAfter(300)) << "the program ended while the lease was still held";
  EXPECT_EQ(fcntl(lease.Get(), F_SETLEASE, F_UNLCK), 0) << std::strerror(errno);

  const RunResult r = program.Finish(kTimeoutSeconds);
  EXPECT_EQ(which == Which::Look ? inspection::Masked(r.out) : r.out, SampleDrawn(which));
  EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, OpeningThePicture, testing::Values(Which::Sketch, Which::Look),
                         [](const testing::TestParamInfo<Which>& info) { return ProgramName(info.param); });

// The picture is a regular file when the program looks at it, and something else by the
// time it opens it: the preloaded shim puts a FIFO without a writer (an open that waited
// would wait for ever) or a link to /dev/null (which reads as an empty file) in its place
// at the program's open. Either way the program must end at once with the open message.
struct SwapCase {
  std::string kind;  // MONO_SWAP_ON_OPEN's value, and the case's name
};

class SwappedAfterTheLook : public testing::TestWithParam<std::tuple<SwapCase, Which>> {};

TEST_P(SwappedAfterTheLook, IsNotRead) {
  const auto& [swap, which] = GetParam();
  TempFolder folder;
  folder.Write(kImage, Sample());
  Program program(Executable(which), folder.Path(), WithShim("MONO_SWAP_ON_OPEN", swap.kind.c_str()));
  program.Send("\n");
  const bool ended = program.EndsWithin(5);
  const RunResult r = program.Finish(kTimeoutSeconds);
  EXPECT_TRUE(ended) << "still running after 5 seconds: it waits on the " << swap.kind;
  EXPECT_EQ(r.out, CannotOpen(which));
  EXPECT_EQ(r.status, 255);
  struct stat now {};
  EXPECT_EQ(lstat((folder.Path() / kImage).c_str(), &now), 0);
  EXPECT_FALSE(S_ISREG(now.st_mode)) << "the shim did not put the " << swap.kind << " in the picture's place";
}

void PrintTo(const SwapCase& c, std::ostream* out) { *out << c.kind; }

INSTANTIATE_TEST_SUITE_P(
    Programs, SwappedAfterTheLook,
    testing::Combine(testing::Values(SwapCase{"fifo"}, SwapCase{"dev_null"}), testing::Values(Which::Sketch, Which::Look)),
    [](const testing::TestParamInfo<std::tuple<SwapCase, Which>>& info) {
      return std::get<0>(info.param).kind + "_" + ProgramName(std::get<1>(info.param));
    });

}  // namespace
