// Windows file system, through the wide API only.
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <memory>
#include <vector>

#include "platform/filesystem.h"
#include "platform/filesystem_entry.h"
#include "platform/utf16_win32.h"

namespace sbrep::fs {
namespace {

Outcome FromError(DWORD code) noexcept {
  switch (code) {
    case ERROR_SUCCESS:
      return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return {Status::kNotFound, static_cast<long>(code)};
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return {Status::kAccessDenied, static_cast<long>(code)};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return {Status::kSharingViolation, static_cast<long>(code)};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return {Status::kExists, static_cast<long>(code)};
    default:
      return {Status::kOther, static_cast<long>(code)};
  }
}

Outcome LastError() noexcept { return FromError(GetLastError()); }

HANDLE AsHandle(Handle handle) noexcept { return reinterpret_cast<HANDLE>(handle); }

Outcome Stat(const std::string& path, Attributes* out) {
  *out = Attributes();
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data)) {
    const Outcome outcome = LastError();
    return outcome.status == Status::kNotFound ? Outcome() : outcome;
  }
  out->exists = true;
  out->directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  out->read_only = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  out->size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  out->native = data.dwFileAttributes;
  return {};
}

Outcome Open(const std::string& path, OpenMode mode, Handle* out) {
  DWORD access = GENERIC_READ;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::kRead:
      break;
    case OpenMode::kReadWrite:
      access = GENERIC_READ | GENERIC_WRITE;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    case OpenMode::kCreateOrTruncate:
      access = GENERIC_WRITE;
      share = 0;
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::kCreateNew:
      access = GENERIC_WRITE;
      share = 0;
      disposition = CREATE_NEW;
      break;
  }
  const HANDLE handle = CreateFileW(win32::Widen(path).c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  *out = reinterpret_cast<Handle>(handle);
  return {};
}

Outcome Read(Handle handle, void* buffer, std::size_t size, std::size_t* got) noexcept {
  DWORD n = 0;
  const DWORD ask = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(handle), buffer, ask, &n, nullptr)) return LastError();
  *got = n;
  return {};
}

Outcome Write(Handle handle, const void* data, std::size_t size) noexcept {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD ask = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD n = 0;
    if (!WriteFile(AsHandle(handle), p, ask, &n, nullptr)) return LastError();
    if (n == 0) return {Status::kOther, static_cast<long>(ERROR_WRITE_FAULT)};
    p += n;
    size -= n;
  }
  return {};
}

Outcome Seek(Handle handle, std::uint64_t offset) noexcept {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(AsHandle(handle), to, nullptr, FILE_BEGIN)) return LastError();
  return {};
}

Outcome Truncate(Handle handle, std::uint64_t size) noexcept {
  const Outcome moved = Seek(handle, size);
  if (!moved.ok()) return moved;
  if (!SetEndOfFile(AsHandle(handle))) return LastError();
  return {};
}

Outcome Flush(Handle handle) noexcept {
  if (!FlushFileBuffers(AsHandle(handle))) return LastError();
  return {};
}

Outcome Close(Handle handle) noexcept {
  if (!CloseHandle(AsHandle(handle))) return LastError();
  return {};
}

Outcome Replace(const std::string& from, const std::string& to) {
  if (!MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  return {};
}

Outcome Remove(const std::string& path) {
  if (!DeleteFileW(win32::Widen(path).c_str())) return LastError();
  return {};
}

Outcome SetAttributes(const std::string& path, std::uint32_t native) {
  // Only the attributes a program may set; FILE_ATTRIBUTE_NORMAL stands alone.
  DWORD settable =
      native & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  if (settable == 0) settable = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileAttributesW(win32::Widen(path).c_str(), settable)) return LastError();
  return {};
}

Outcome CarryIdentity(const std::string& from, const std::string& to) {
  constexpr SECURITY_INFORMATION kWhat =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  const std::wstring source = win32::Widen(from);
  DWORD size = 0;
  GetFileSecurityW(source.c_str(), kWhat, nullptr, 0, &size);
  if (size == 0) return LastError();
  std::vector<unsigned char> descriptor(size);
  if (!GetFileSecurityW(source.c_str(), kWhat, descriptor.data(), size, &size)) return LastError();
  // Giving the file to another owner needs a privilege; without it this
  // fails, and the save takes the path that keeps the file itself.
  if (!SetFileSecurityW(win32::Widen(to).c_str(), kWhat, descriptor.data())) return LastError();
  return {};
}

Outcome SyncFolder(const std::string&) noexcept {
  // MOVEFILE_WRITE_THROUGH has made the rename durable already.
  return {};
}

Outcome Locate(const std::string& path, Location* out) {
  out->path = path;
  out->links = 1;
  // No access asked for, so no other handle's sharing mode stands in the way.
  const HANDLE handle = CreateFileW(win32::Widen(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  // The standard information holds the link count without asking the
  // volume for its serial number, which costs Wine half a millisecond.
  FILE_STANDARD_INFO info;
  const BOOL ok = GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof info);
  const Outcome outcome = ok ? Outcome() : LastError();
  CloseHandle(handle);
  if (ok) out->links = info.NumberOfLinks;
  return outcome;
}

std::wstring Hex(std::uint64_t value, int digits) {
  std::wstring hex;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    hex += L"0123456789abcdef"[(value >> shift) & 0xF];
  }
  return hex;
}

// The folder's final path, after junctions and with long names: through the
// volume's drive letter where it has one (Wine answers that without asking
// the volume, which costs it half a millisecond), else through its device.
// Empty when it cannot be told.
std::wstring FinalFolderPath(const std::wstring& folder) {
  struct Closer {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
  };
  std::wstring path(MAX_PATH, L'\0');
  // No access asked for, so no other handle's sharing mode stands in the way.
  // Closed however this ends: a folder with a handle open cannot go.
  std::unique_ptr<void, Closer> handle(
      CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) {
    handle.release();
    return {};
  }
  DWORD n = 0;
  for (const DWORD volume : {VOLUME_NAME_DOS, VOLUME_NAME_NT}) {
    do {
      if (n >= path.size()) path.resize(n);
      n = GetFinalPathNameByHandleW(handle.get(), path.data(), static_cast<DWORD>(path.size()),
                                    FILE_NAME_NORMALIZED | volume);
    } while (n >= path.size());
    if (n != 0) break;
  }
  const DWORD error = GetLastError();
  handle.reset();
  SetLastError(error);
  path.resize(n);
  return path;
}

std::uint64_t Hash(const std::wstring& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : text) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
  return hash;
}

// Upper case, as the file system folds names.
std::wstring Folded(const std::wstring& text) {
  std::wstring folded(text.size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                   folded.data(), static_cast<int>(folded.size())) == 0) {
    return text;
  }
  return folded;
}

// The table's name in its folder and the folder's final path, folded to
// upper case. However the path is spelled (another drive letter for the
// folder, \\?\, "." and "..", letter case, a short name), one table gets one
// name. Only the folder is resolved: a save replaces a link at the table's
// name, not the file it points to. Empty when the folder cannot be opened.
std::wstring LockId(const std::string& table_path) {
  const std::wstring wide = win32::Widen(table_path);
  const std::size_t cut = wide.find_last_of(L"\\/");
  const std::wstring folder = cut == std::wstring::npos ? L"." : wide.substr(0, cut + 1);
  const std::wstring name = cut == std::wstring::npos ? wide : wide.substr(cut + 1);
  const std::wstring resolved = FinalFolderPath(folder);
  if (resolved.empty()) return {};
  // Hashes keep the name within the length a name may have and free of
  // backslashes.
  return L"sbrep-table-" + Hex(Hash(Folded(resolved)), 16) + L"-" + Hex(Hash(Folded(name)), 16);
}

// Held: the session's mutex, and the one of all sessions where this
// process may have it.
struct HeldLock {
  HANDLE global = nullptr;
  HANDLE local = nullptr;
};

// Waits for a mutex until `deadline` (GetTickCount64); closes it unless won.
Outcome Take(HANDLE mutex, ULONGLONG deadline) noexcept {
  const ULONGLONG now = GetTickCount64();
  const DWORD wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
  switch (WaitForSingleObject(mutex, wait)) {
    case WAIT_OBJECT_0:
    // The holder died; what it left half done is rolled back next.
    case WAIT_ABANDONED:
      return {};
    case WAIT_TIMEOUT:
      CloseHandle(mutex);
      return {Status::kSharingViolation, static_cast<long>(WAIT_TIMEOUT)};
    default: {
      const Outcome outcome = LastError();
      CloseHandle(mutex);
      return outcome;
    }
  }
}

// The mutex of all sessions, which every user may wait on and let go, so
// that a service and a person's session, or an elevated and a plain
// process, share it. Nothing where the process may neither create it
// (SeCreateGlobalPrivilege) nor find it made.
HANDLE GlobalMutex(const std::wstring& name) noexcept {
  // SYNCHRONIZE and MUTEX_MODIFY_STATE for everyone, and no more: no one
  // else may change who can.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;0x100001;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return nullptr;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  HANDLE mutex = CreateMutexW(&attributes, FALSE, name.c_str());
  LocalFree(descriptor);
  // Made by another user, it opens with the rights it grants.
  if (mutex == nullptr) mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
  return mutex;
}

// Every process takes the session's mutex, and first the one of all
// sessions where it can: two processes of one session always meet on the
// first, whatever their privileges, and two of any sessions on the second
// where both have it. Always in this order, so that no two wait on each
// other. What allocates comes before the first mutex is taken, so that no
// exception can leave one held.
Outcome Lock(const std::string& table_path, unsigned wait_ms, Handle* out) {
  const std::wstring id = LockId(table_path);
  if (id.empty()) return LastError();
  const std::wstring global_name = L"Global\\" + id;
  const std::wstring local_name = L"Local\\" + id;
  auto held = std::make_unique<HeldLock>();
  const ULONGLONG deadline = GetTickCount64() + wait_ms;
  held->global = GlobalMutex(global_name);
  if (held->global != nullptr) {
    const Outcome taken = Take(held->global, deadline);
    if (!taken.ok()) return taken;
  }
  held->local = CreateMutexW(nullptr, FALSE, local_name.c_str());
  const Outcome taken = held->local == nullptr ? LastError() : Take(held->local, deadline);
  if (!taken.ok()) {
    if (held->global != nullptr) {
      ReleaseMutex(held->global);
      CloseHandle(held->global);
    }
    return taken;
  }
  *out = reinterpret_cast<Handle>(held.release());
  return {};
}

Outcome Unlock(Handle lock) noexcept {
  const HeldLock* held = reinterpret_cast<HeldLock*>(lock);
  Outcome outcome;
  for (const HANDLE mutex : {held->local, held->global}) {
    if (mutex == nullptr) continue;
    if (!ReleaseMutex(mutex) && outcome.ok()) outcome = LastError();
    CloseHandle(mutex);
  }
  delete held;
  return outcome;
}

Outcome Append(const std::string& path, const void* data, std::size_t size) {
  // Append access alone: every write goes to the end, whatever others write.
  const HANDLE handle = CreateFileW(win32::Widen(path).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  DWORD n = 0;
  const DWORD ask = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  const BOOL ok = WriteFile(handle, data, ask, &n, nullptr);
  const Outcome outcome = !ok        ? LastError()
                          : n < size ? Outcome{Status::kOther, static_cast<long>(ERROR_DISK_FULL)}
                                     : Outcome();
  CloseHandle(handle);
  return outcome;
}

Outcome CreateFolder(const std::string& path) {
  if (CreateDirectoryW(win32::Widen(path).c_str(), nullptr)) return {};
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = GetFileAttributesW(win32::Widen(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return {};
    }
  }
  return FromError(code);
}

void SleepMs(unsigned milliseconds) noexcept { Sleep(milliseconds); }

// Filled by name; the entries that take a path widen it, which allocates.
Ops MakeOps() {
  Ops ops{};
  ops.stat = NoThrow<&Stat>;
  ops.open = NoThrow<&Open>;
  ops.read = &Read;
  ops.write = &Write;
  ops.seek = &Seek;
  ops.truncate = &Truncate;
  ops.flush = &Flush;
  ops.close = &Close;
  ops.replace = NoThrow<&Replace>;
  ops.remove = NoThrow<&Remove>;
  ops.set_attributes = NoThrow<&SetAttributes>;
  ops.carry_identity = NoThrow<&CarryIdentity>;
  ops.sync_folder = &SyncFolder;
  ops.locate = NoThrow<&Locate>;
  ops.lock = NoThrow<&Lock>;
  ops.unlock = &Unlock;
  ops.append = NoThrow<&Append>;
  ops.create_folder = NoThrow<&CreateFolder>;
  ops.sleep_ms = &SleepMs;
  return ops;
}

}  // namespace

std::uint32_t WithoutReadOnly(std::uint32_t native) { return native & ~FILE_ATTRIBUTE_READONLY; }

const Ops& PlatformFileSystem() {
  static const Ops ops = MakeOps();
  return ops;
}

}  // namespace sbrep::fs
