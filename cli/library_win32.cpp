#include <windows.h>

#include <cstdio>
#include <vector>

#include "cli/library.h"
#include "platform/utf16_win32.h"

namespace sbrep::cli {
namespace {

// What a host declares: stdcall, as the DLL exports it.
using Entry = std::int32_t(__stdcall*)(const char*, std::int32_t, char*);

class Dll : public HostLibrary {
 public:
  Dll(HMODULE module, Entry entry) : module_(module), entry_(entry) {}
  ~Dll() override { FreeLibrary(module_); }
  Dll(const Dll&) = delete;
  Dll& operator=(const Dll&) = delete;

  std::int32_t Call(const char* xml_path, std::int32_t kind, char* message) override {
    return entry_(xml_path, kind, message);
  }

 private:
  HMODULE module_;
  Entry entry_;
};

std::string ErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n > 0 ? win32::Narrow(text, n) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return (message.empty() ? "error" : message) + " (" + std::to_string(code) + ")";
}

// A text of the resource's first translation, or of US English in Unicode.
std::string QueryText(const std::vector<unsigned char>& data, const wchar_t* name) {
  struct Translation {
    WORD language;
    WORD code_page;
  };
  Translation* translations = nullptr;
  UINT size = 0;
  wchar_t block[64];
  if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translations), &size) &&
      size >= sizeof(Translation)) {
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
             translations[0].code_page, name);
  } else {
    swprintf(block, 64, L"\\StringFileInfo\\040904b0\\%ls", name);
  }
  wchar_t* text = nullptr;
  if (!VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&text), &size) || size == 0) {
    return {};
  }
  std::size_t length = size;
  while (length > 0 && text[length - 1] == L'\0') --length;
  return win32::Narrow(text, length);
}

}  // namespace

std::unique_ptr<HostLibrary> HostLibrary::Load(const std::string& path, std::string* why) {
  // The full path, so that no other sbrep.dll on the search path stands in.
  const HMODULE module =
      LoadLibraryExW(win32::Widen(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    *why = ErrorText(GetLastError());
    return nullptr;
  }
  const auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, "SetSBRepData")));
  if (entry == nullptr) {
    FreeLibrary(module);
    *why = "it has no SetSBRepData";
    return nullptr;
  }
  return std::make_unique<Dll>(module, entry);
}

std::optional<VersionResource> ReadVersionResource(const std::string& path) {
  const std::wstring wide = win32::Widen(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) return std::nullopt;
  VersionResource resource;
  resource.file_version = QueryText(data, L"FileVersion");
  resource.product_version = QueryText(data, L"ProductVersion");
  resource.description = QueryText(data, L"FileDescription");
  // The fixed part holds the four numbers even where the texts are missing.
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  if (resource.file_version.empty() &&
      VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size) &&
      fixed_size >= sizeof(VS_FIXEDFILEINFO)) {
    char text[48];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu",
                  static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<unsigned long>(LOWORD(fixed->dwFileVersionLS)));
    resource.file_version = text;
  }
  return resource;
}

}  // namespace sbrep::cli
