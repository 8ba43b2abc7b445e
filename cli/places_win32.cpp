#include <windows.h>

#include <cstdio>

#include "cli/places.h"
#include "platform/process.h"
#include "platform/utf16_win32.h"

namespace sbrep::cli {

std::string ProgramPath() { return process::ProgramPath(); }

const char* LibraryFileName() { return "sbrep.dll"; }

std::optional<std::string> DefaultBackupFolder() {
  const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
  if (n <= 1) return std::nullopt;
  std::wstring folder(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), n);
  if (got == 0 || got >= n) return std::nullopt;
  return win32::Narrow(folder.data(), got) + "\\sbrep\\backups";
}

std::string LocalTimeStamp() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  char text[96];
  std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u-%03u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

}  // namespace sbrep::cli
