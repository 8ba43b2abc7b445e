#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "cli/platform.h"
#include "filingclient/wide_win32.h"

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

std::optional<std::string> HostPathBytes(const std::string& utf8) {
  if (GetACP() == CP_UTF8) return utf8;
  const std::wstring wide = win32::Widen(utf8);
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                    nullptr, &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, ansi.data(), n, nullptr,
                      &used_default);
  if (used_default) return std::nullopt;
  return ansi;
}

}  // namespace sbrep::cli
