#include <windows.h>

#include <cstring>

#include "filingclient/caller_path.h"
#include "filingclient/wide_win32.h"

namespace sbrep {

std::string DecodeCallerPath(const char* path) {
  if (path == nullptr || *path == '\0') return {};
  const int length = static_cast<int>(std::strlen(path));
  const int n = MultiByteToWideChar(CP_ACP, 0, path, length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path, length, wide.data(), n);
  return win32::Narrow(wide);
}

}  // namespace sbrep
