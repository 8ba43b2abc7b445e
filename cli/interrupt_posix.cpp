#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "cli/interrupt.h"

namespace sbrep::cli {
namespace {

void Write(int fd, const char* text) {
  std::size_t left = strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(fd, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

// Async-signal-safe: atomics, write and _exit.
extern "C" void OnInterrupt(int) {
  if (InterruptArrived()) EndInterrupted();
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action = {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  // A held interrupt must not fail the save's system calls with EINTR.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

void EndInterrupted() {
  Write(STDOUT_FILENO, InterruptJson());
  Write(STDERR_FILENO, InterruptText());
  _exit(kExitInterrupted);
}

}  // namespace sbrep::cli
