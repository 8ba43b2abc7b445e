#include <windows.h>

#include <string>

#include "platform/process.h"
#include "platform/utf16_win32.h"

namespace sbrep::process {

std::optional<std::string> Environment(const char* name) {
  const std::wstring wide = win32::Widen(name);
  const DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n <= 1) return std::nullopt;
  std::wstring value(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(wide.c_str(), value.data(), n);
  if (got == 0 || got >= n) return std::nullopt;
  return win32::Narrow(value.data(), got);
}

unsigned long Id() { return GetCurrentProcessId(); }

std::string ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return win32::Narrow(path.data(), n);
    path.resize(path.size() * 2);
  }
}

std::optional<StatePlace> UserStatePlace() {
  if (const auto local = Environment("LOCALAPPDATA")) return StatePlace{*local, "sbrep"};
  return std::nullopt;
}

std::string LocalTimeNow() {
  SYSTEMTIME utc = {};
  GetSystemTime(&utc);
  SYSTEMTIME local = utc;
  SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  // The offset in force at this instant, daylight saving included.
  FILETIME utc_file = {};
  FILETIME local_file = {};
  SystemTimeToFileTime(&utc, &utc_file);
  SystemTimeToFileTime(&local, &local_file);
  ULARGE_INTEGER a;
  ULARGE_INTEGER b;
  a.LowPart = utc_file.dwLowDateTime;
  a.HighPart = utc_file.dwHighDateTime;
  b.LowPart = local_file.dwLowDateTime;
  b.HighPart = local_file.dwHighDateTime;
  const long long minutes =
      (static_cast<long long>(b.QuadPart) - static_cast<long long>(a.QuadPart)) / 600000000LL;
  const long long magnitude = minutes < 0 ? -minutes : minutes;
  // Written digit by digit: the DLL carries no printf family.
  const struct {
    long long value;
    std::size_t width;
    const char* after;
  } fields[] = {{local.wYear, 4, "-"},
                {local.wMonth, 2, "-"},
                {local.wDay, 2, "T"},
                {local.wHour, 2, ":"},
                {local.wMinute, 2, ":"},
                {local.wSecond, 2, "."},
                {local.wMilliseconds, 3, minutes < 0 ? "-" : "+"},
                {magnitude / 60, 2, ":"},
                {magnitude % 60, 2, ""}};
  std::string text;
  for (const auto& field : fields) {
    const std::string digits = std::to_string(field.value);
    if (digits.size() < field.width) text.append(field.width - digits.size(), '0');
    text += digits;
    text += field.after;
  }
  return text;
}

}  // namespace sbrep::process
