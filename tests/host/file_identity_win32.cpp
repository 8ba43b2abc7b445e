#include <windows.h>

#include <sddl.h>

#include <vector>

#include "host/file_identity.h"
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

}  // namespace sbrep::test
