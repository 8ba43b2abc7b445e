#include <windows.h>

#include <sddl.h>

#include <vector>

#include "harness/file_identity.h"
#include "platform/utf16_win32.h"

namespace sbrep::test {
namespace {

constexpr SECURITY_INFORMATION kWhat =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::vector<unsigned char> data(256);
  DWORD size = 0;
  std::wstring sid;
  if (GetTokenInformation(token, TokenUser, data.data(), static_cast<DWORD>(data.size()), &size)) {
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(data.data())->User.Sid, &text)) {
      sid = text;
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return sid;
}

}  // namespace

std::string Identity(const std::string& path) {
  const std::wstring wide = win32::Widen(path);
  DWORD size = 0;
  GetFileSecurityW(wide.c_str(), kWhat, nullptr, 0, &size);
  std::vector<unsigned char> descriptor(size > 0 ? size : 1);
  if (!GetFileSecurityW(wide.c_str(), kWhat, descriptor.data(), size, &size)) return "missing";
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                            kWhat, &text, nullptr)) {
    return "unreadable";
  }
  const std::string identity = win32::Narrow(text, wcslen(text));
  LocalFree(text);
  return identity;
}

bool GiveDistinctIdentity(const std::string& path) {
  // Full access for this user alone, protected from the folder's entries: a
  // new file inherits more.
  const std::wstring sddl = L"D:P(A;;FA;;;" + CurrentUserSid() + L")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return false;
  }
  const BOOL set =
      SetFileSecurityW(win32::Widen(path).c_str(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  return set != FALSE;
}

bool MakeSymlink(const std::string&, const std::string&) {
  // Windows needs a privilege for them, and the save does not follow them.
  return false;
}

bool IsSymlink(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
  return CreateHardLinkW(win32::Widen(link).c_str(), win32::Widen(existing).c_str(), nullptr) !=
         FALSE;
}

FolderSpellings::FolderSpellings(const std::string& folder) {
  std::wstring full(MAX_PATH, L'\0');
  full.resize(GetFullPathNameW(win32::Widen(folder).c_str(), MAX_PATH, full.data(), nullptr));
  while (!full.empty() && full.back() == L'\\') full.pop_back();
  const std::string path = win32::Narrow(full.data(), full.size());
  const std::string name = path.substr(path.find_last_of('\\') + 1);
  all_.push_back({"'.' and '..'", path + "\\.\\..\\" + name});
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  all_.push_back({"another letter case", lower});
  all_.push_back({"\\\\?\\ before it", "\\\\?\\" + path});
  // Under Wine, drive Z: is the Unix root, so the folder on C: is also a
  // folder on Z:. Elsewhere a drive letter is made for it, as subst does.
  using UnixName = char* (*)(const wchar_t*);
  const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unix_name != nullptr) {
    char* name_there = unix_name(full.c_str());
    std::string z = name_there == nullptr ? std::string() : std::string("Z:") + name_there;
    HeapFree(GetProcessHeap(), 0, name_there);
    for (char& c : z) c = c == '/' ? '\\' : c;
    if (!z.empty() && path.compare(0, 2, "Z:") != 0) all_.push_back({"a second drive letter", z});
    return;
  }
  const DWORD drives = GetLogicalDrives();
  for (wchar_t letter = L'Y'; letter > L'D'; --letter) {
    if ((drives & (1u << (letter - L'A'))) != 0) continue;
    const wchar_t device[] = {letter, L':', L'\0'};
    if (DefineDosDeviceW(0, device, full.c_str())) {
      made_ = win32::Narrow(device, 2);
      all_.push_back({"a second drive letter", made_ + "\\"});
    }
    break;
  }
}

FolderSpellings::~FolderSpellings() {
  if (made_.empty()) return;
  DefineDosDeviceW(DDD_REMOVE_DEFINITION, win32::Widen(made_).c_str(), nullptr);
}

}  // namespace sbrep::test
