#include <windows.h>

#include <cstdio>
#include <memory>

#include "cli/places.h"
#include "platform/process.h"
#include "platform/utf16_win32.h"

namespace sbrep::cli {
namespace {

struct HandleCloser {
  void operator()(void* handle) const {
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr) CloseHandle(handle);
  }
};

}  // namespace

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

std::string UtcTimeStamp() {
  SYSTEMTIME now = {};
  GetSystemTime(&now);
  char text[96];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  return text;
}

std::optional<std::string> ResolvedFolder(const std::string& folder) {
  if (folder.empty()) return std::nullopt;
  // No access asked for: only the name of what is opened is wanted.
  const std::unique_ptr<void, HandleCloser> handle(CreateFileW(
      win32::Widen(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        GetFinalPathNameByHandleW(handle.get(), path.data(), static_cast<DWORD>(path.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return std::nullopt;
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(n);
  }
  // The final path comes as "\\?\C:\..." or "\\?\UNC\server\...".
  const std::wstring unc = L"\\\\?\\UNC\\";
  const std::wstring local = L"\\\\?\\";
  if (path.compare(0, unc.size(), unc) == 0) {
    path = L"\\\\" + path.substr(unc.size());
  } else if (path.compare(0, local.size(), local) == 0) {
    path = path.substr(local.size());
  }
  return win32::Narrow(path);
}

}  // namespace sbrep::cli
