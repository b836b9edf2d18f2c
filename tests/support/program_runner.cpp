#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

// The command as this system runs it. In a cross build the programs run under the
// emulator given at build time (PROGRAM_EMULATOR, the words of
// CMAKE_CROSSCOMPILING_EMULATOR: qemu-user). A library to preload is the target's,
// for the program alone: qemu's -E hands it on, where this system's loader would
// try to preload it into qemu itself (and say so on standard error).
#ifdef PROGRAM_EMULATOR
constexpr bool kEmulated = true;
Command Runnable(const Command& command, const Environment& env) {
  Command words{PROGRAM_EMULATOR};
  for (const auto& [name, value] : env) {
    if (name == "LD_PRELOAD") words.insert(words.end(), {"-E", "LD_PRELOAD=" + value});
  }
  words.insert(words.end(), command.begin(), command.end());
  return words;
}
#else
constexpr bool kEmulated = false;
Command Runnable(const Command& command, const Environment&) { return command; }
#endif

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "monotest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void TempFolder::Write(const std::string& name, const Bytes& bytes) const {
  std::ofstream file(path_ / name, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Program::Program(const Command& command, const std::filesystem::path& folder, const Environment& env,
                 const Identity* as, std::size_t stackBytes) {
  Command words = Runnable(command, env);  // execv takes its arguments as char*
  std::vector<char*> argv(words.size() + 1, nullptr);
  std::transform(words.begin(), words.end(), argv.begin(), [](std::string& word) { return word.data(); });
  int in[2];
  int out[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    if (as != nullptr && (setgroups(0, nullptr) != 0 || setgid(as->group) != 0 || setuid(as->user) != 0)) _exit(126);
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (stackBytes != 0) {
      rlimit stack{};
      if (getrlimit(RLIMIT_STACK, &stack) != 0) _exit(125);
      stack.rlim_cur = stackBytes;
      if (setrlimit(RLIMIT_STACK, &stack) != 0) _exit(125);
    }
    for (const auto& [name, value] : env) {
      if (!kEmulated || name != "LD_PRELOAD") setenv(name.c_str(), value.c_str(), 1);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  output_ = out[0];
  (void)signal(SIGPIPE, SIG_IGN);  // a program that ends early must not take the test with it
}

Program::~Program() {
  if (!ended_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  CloseInput();
  if (output_ >= 0) close(output_);
}

void Program::Send(const std::string& text) {
  std::size_t done = 0;
  while (input_ >= 0 && done < text.size()) {
    const ssize_t n = write(input_, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

void Program::CloseInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

bool Program::Pump(int milliseconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  char chunk[65536];
  while (output_ >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    const ssize_t n = read(output_, chunk, sizeof chunk);
    if (n <= 0) {
      close(output_);
      output_ = -1;
      break;
    }
    out_.append(chunk, static_cast<std::size_t>(n));
  }
  if (!ended_) {
    if (output_ < 0) {
      // Output is closed: the program has ended or is about to.
      int raw = 0;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
      while (waitpid(pid_, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      ended_ = true;
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    } else {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        ended_ = true;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      }
    }
  }
  return ended_;
}

bool Program::RunningAfter(int milliseconds) { return !Pump(milliseconds); }

const std::string& Program::OutputOnceItHolds(std::size_t bytes, int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (out_.size() < bytes && !Pump(10) && std::chrono::steady_clock::now() < until) {
  }
  return out_;
}

bool Program::WaitsAfter(const std::string& text, int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!out_.ends_with(text) && !Pump(10) && std::chrono::steady_clock::now() < until) {
  }
  return out_.ends_with(text) && RunningAfter(200);
}

RunResult Program::Finish(int seconds) {
  CloseInput();
  RunResult result;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!Pump(100)) {
    if (std::chrono::steady_clock::now() > until) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      ended_ = true;
      result.timedOut = true;
      break;
    }
  }
  while (output_ >= 0 && !result.timedOut) Pump(100);
  result.out = out_;
  result.status = status_;
  return result;
}

RunResult RunProgram(const std::string& executable, const std::filesystem::path& folder, const std::string& input,
              const Environment& env) {
  Program program(executable, folder, env);
  program.Send(input);
  return program.Finish();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}
