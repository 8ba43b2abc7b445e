#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "harness/process.h"

namespace sbrep::test {
namespace {

// Reads what is there; false at the end of the stream.
bool Drain(int fd, std::string* into) {
  char buffer[65536];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0) into->append(buffer, static_cast<std::size_t>(n));
  return n > 0;
}

}  // namespace

Program::Program(const std::string& path, const std::vector<std::string>& args) {
  int out[2];
  int err[2];
  if (::pipe(out) != 0) return;
  if (::pipe(err) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  // A test runner may ignore SIGINT; the program must meet it as a terminal
  // would send it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  started_ = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  ::close(err[1]);
  process_ = pid;
  out_ = out[0];
  err_ = err[0];
}

Program::~Program() {
  if (started_) Wait();
}

bool Program::CanInterrupt() { return true; }

bool Program::Interrupt() { return started_ && ::kill(static_cast<pid_t>(process_), SIGINT) == 0; }

void Program::CloseOutput() {
  if (out_ < 0) return;
  ::close(static_cast<int>(out_));
  out_ = -1;
}

ProgramResult Program::Wait() {
  ProgramResult result;
  if (!started_) return result;
  started_ = false;
  pollfd fds[2] = {{static_cast<int>(out_), POLLIN, 0}, {static_cast<int>(err_), POLLIN, 0}};
  int open = out_ < 0 ? 1 : 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) break;
    for (pollfd& fd : fds) {
      if (fd.fd < 0 || fd.revents == 0) continue;
      std::string* into = &fd == &fds[0] ? &result.out : &result.err;
      if (!Drain(fd.fd, into)) {
        ::close(fd.fd);
        fd.fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(static_cast<pid_t>(process_), &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string BuiltProgram(const std::string& name) {
  return (std::filesystem::canonical("/proc/self/exe").parent_path() / name).string();
}

EnvironmentVariable::EnvironmentVariable(std::string name, const std::string& value)
    : name_(std::move(name)) {
  if (const char* old = ::getenv(name_.c_str())) {
    had_ = true;
    old_ = old;
  }
  ::setenv(name_.c_str(), value.c_str(), 1);
}

EnvironmentVariable::~EnvironmentVariable() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

std::string RedirectedForm(const std::string& utf8) { return utf8; }

}  // namespace sbrep::test
