#include <signal.h>
#include <unistd.h>

#include "cli/console.h"

namespace sbrep::cli {

std::vector<std::string> CommandLine(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

bool IsTerminal(Stream stream) {
  return ::isatty(stream == Stream::kOut ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

bool InputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

std::string RedirectedBytes(std::string_view utf8, OutputEncoding) { return std::string(utf8); }

bool WriteTerminal(Stream stream, std::string_view utf8, OutputEncoding) {
  const int fd = stream == Stream::kOut ? STDOUT_FILENO : STDERR_FILENO;
  while (!utf8.empty()) {
    const ssize_t n = ::write(fd, utf8.data(), utf8.size());
    if (n <= 0) return false;
    utf8.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void KeepWriteErrors() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace sbrep::cli
