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

HANDLE HandleOf(Stream stream) {
  return GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

bool WriteBytes(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 16));
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// The code page a console window would show redirected text in: its own
// output code page, or the ANSI code page when the program has no console.
UINT RedirectCodePage() {
  const UINT console = GetConsoleOutputCP();
  return console != 0 ? console : GetACP();
}

}  // namespace

std::vector<std::string> CommandLine(int, char**) {
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> args;
  if (!argv) return args;
  for (int i = 1; i < count; ++i) {
    args.push_back(win32::Narrow(argv.get()[i], wcslen(argv.get()[i])));
  }
  return args;
}

bool IsTerminal(Stream stream) { return IsConsole(HandleOf(stream)); }

bool InputIsTerminal() { return IsConsole(GetStdHandle(STD_INPUT_HANDLE)); }

std::string RedirectedBytes(std::string_view utf8, OutputEncoding encoding) {
  if (encoding == OutputEncoding::kUtf8) return std::string(utf8);
  std::string text;
  text.reserve(utf8.size() + utf8.size() / 32);
  for (const char c : utf8) {
    if (c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
    text += c;
  }
  const UINT code_page = RedirectCodePage();
  if (code_page == CP_UTF8) return text;
  const std::wstring wide = win32::Widen(text);
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  // What the code page lacks shows as its default character: this is text
  // for people, and a missing glyph must not lose the rest of the line.
  const int n =
      WideCharToMultiByte(code_page, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return text;
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), length, bytes.data(), n, nullptr, nullptr);
  return bytes;
}

bool WriteTerminal(Stream stream, std::string_view utf8, OutputEncoding encoding) {
  const HANDLE handle = HandleOf(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return true;
  if (!IsConsole(handle)) return WriteBytes(handle, RedirectedBytes(utf8, encoding));
  const std::wstring wide = win32::Widen(std::string(utf8));
  std::size_t at = 0;
  while (at < wide.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 1u << 14));
    if (!WriteConsoleW(handle, wide.data() + at, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    at += written;
  }
  return true;
}

// A closed pipe already fails WriteFile with ERROR_NO_DATA.
void KeepWriteErrors() {}

}  // namespace sbrep::cli
