#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "cli/console.h"
#include "platform/utf16_win32.h"

namespace sbrep::cli {
namespace {

struct LocalFreer {
  void operator()(LPWSTR* p) const { LocalFree(p); }
};

void WriteBytes(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 16));
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

}  // namespace

std::vector<std::string> CommandLine(int, char**) {
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> args;
  if (!argv) return args;
  for (int i = 1; i < count; ++i)
    args.push_back(win32::Narrow(argv.get()[i], wcslen(argv.get()[i])));
  return args;
}

void WriteTerminal(Stream stream, std::string_view utf8) {
  const HANDLE handle = GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return;
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) {
    WriteBytes(handle, utf8);
    return;
  }
  const std::wstring wide = win32::Widen(std::string(utf8));
  std::size_t at = 0;
  while (at < wide.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 1u << 14));
    if (!WriteConsoleW(handle, wide.data() + at, chunk, &written, nullptr) || written == 0) return;
    at += written;
  }
}

}  // namespace sbrep::cli
