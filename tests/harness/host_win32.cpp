// Windows: the real registry (Wine allows writes below HKEY_LOCAL_MACHINE).
#include <windows.h>

#include <gtest/gtest.h>

#include "harness/host.h"
#include "platform/utf16_win32.h"

namespace sbrep::test {
namespace {

constexpr const wchar_t kKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexlan.exe";

void DeleteIn(REGSAM view) { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, view, 0); }

void Put(DWORD type, const void* data, DWORD size, REGSAM view) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  if (data != nullptr) {
    ASSERT_EQ(RegSetValueExW(key, L"Path", 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
}

void PutString(DWORD type, const std::string& utf8, REGSAM view) {
  const std::wstring wide = win32::Widen(utf8);
  Put(type, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)), view);
}

}  // namespace

std::string DataRoot() {
  const std::string root = SBREP_TEST_DATA;
  return root.size() > 0 && root[0] == '/' ? "Z:" + root : root;
}

RegistryValue::RegistryValue() { Remove(); }

RegistryValue::~RegistryValue() { Remove(); }

void RegistryValue::SetString(const std::string& utf8) {
  Remove();
  PutString(REG_SZ, utf8, 0);
}

void RegistryValue::SetExpandString(const std::string& utf8) {
  Remove();
  PutString(REG_EXPAND_SZ, utf8, 0);
}

void RegistryValue::SetDword(std::uint32_t value) {
  Remove();
  Put(REG_DWORD, &value, sizeof value, 0);
}

void RegistryValue::KeyOnly() {
  Remove();
  Put(REG_SZ, nullptr, 0, 0);
}

void RegistryValue::Remove() {
  DeleteIn(KEY_WOW64_32KEY);
  DeleteIn(KEY_WOW64_64KEY);
}

void RegistryValue::SetStringInView(const std::string& utf8, bool view32) {
  PutString(REG_SZ, utf8, view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
}

// Whether the key has two views that hold values apart. Wine shares this
// key between them, as it shares App Paths; Windows keeps them apart.
bool RegistryValue::HasViews() {
  if (sizeof(void*) != 8) return false;
  RegistryValue probe;
  probe.SetStringInView("64", false);
  probe.SetStringInView("32", true);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  wchar_t data[8] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  const LONG rc =
      RegQueryValueExW(key, L"Path", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && std::wstring(data) == L"64";
}

void RegisterFilingClient(const std::string& folder) { PutString(REG_SZ, folder, 0); }

void KillThisProcess() {
  TerminateProcess(GetCurrentProcess(), 137);
  ExitProcess(137);
}

bool MakePipe(const std::string&) { return false; }

}  // namespace sbrep::test
