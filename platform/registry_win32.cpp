// The Windows registry. A 64-bit build looks in the 32-bit view first, where
// a 32-bit filing client registers, then in the 64-bit view.
#include <windows.h>

#include <vector>

#include "core/text.h"
#include "platform/registry.h"
#include "platform/utf16_win32.h"

namespace sbrep::registry {
namespace {

class Key {
 public:
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool Open(const std::wstring& path, REGSAM view, HKEY root = HKEY_LOCAL_MACHINE) {
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key_) == ERROR_SUCCESS;
  }
  bool Create(const std::wstring& path) {
    return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                           &key_, nullptr) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::optional<std::string> ReadIn(const std::wstring& key_path, const std::wstring& name,
                                  REGSAM view) {
  Key key;
  if (!key.Open(key_path, view)) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  // The value may change between the two queries; ask again while it grows.
  std::vector<wchar_t> data;
  LONG rc = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {
    data.assign(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &size);
  }
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  std::size_t length = size / sizeof(wchar_t);
  // A stored string may or may not carry its terminating NUL.
  while (length > 0 && data[length - 1] == L'\0') --length;
  return win32::Narrow(data.data(), length);
}

}  // namespace

std::optional<std::string> ReadMachineString(const std::string& key, const std::string& name) {
  const std::wstring key_path = win32::Widen(key);
  const std::wstring value_name = win32::Widen(name);
  if constexpr (sizeof(void*) == 8) {
    auto value = ReadIn(key_path, value_name, KEY_WOW64_32KEY);
    if (value && !AllBlank(*value)) return value;
    return ReadIn(key_path, value_name, KEY_WOW64_64KEY);
  } else {
    return ReadIn(key_path, value_name, 0);
  }
}

std::optional<std::uint32_t> ReadUserDword(const std::string& key, const std::string& name) {
  Key handle;
  if (!handle.Open(win32::Widen(key), 0, HKEY_CURRENT_USER)) return std::nullopt;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG rc = RegQueryValueExW(handle.get(), win32::Widen(name).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return std::nullopt;
  return value;
}

bool WriteUserDword(const std::string& key, const std::string& name, std::uint32_t value) {
  Key handle;
  if (!handle.Create(win32::Widen(key))) return false;
  const DWORD data = value;
  return RegSetValueExW(handle.get(), win32::Widen(name).c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

}  // namespace sbrep::registry
