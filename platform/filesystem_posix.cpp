// POSIX file system. Backslashes in paths are folder separators here too, so
// that Windows-style table paths work unchanged.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <utility>

#include "platform/filesystem.h"
#include "platform/filesystem_entry.h"

namespace sbrep::fs {
namespace {

std::string Native(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

Outcome FromErrno(int code) noexcept {
  switch (code) {
    case 0:
      return {};
    case ENOENT:
    case ENOTDIR:
      return {Status::kNotFound, code};
    case EACCES:
    case EPERM:
    case EROFS:
      return {Status::kAccessDenied, code};
    case ETXTBSY:
    case EBUSY:
      return {Status::kSharingViolation, code};
    case EEXIST:
      return {Status::kExists, code};
    default:
      return {Status::kOther, code};
  }
}

Outcome Stat(const std::string& path, Attributes* out) {
  *out = Attributes();
  struct stat info;
  const std::string native = Native(path);
  if (::stat(native.c_str(), &info) != 0) {
    const int code = errno;
    if (code == ENOENT || code == ENOTDIR) return {};
    return FromErrno(code);
  }
  // A pipe, socket or device is neither a file nor a folder here: reading
  // a pipe would block the call for good.
  if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return {};
  out->exists = true;
  out->directory = S_ISDIR(info.st_mode);
  // No write bit counts too: root may write anything, but a file without one
  // was marked read-only on purpose.
  out->read_only = (info.st_mode & 0222) == 0 || ::access(native.c_str(), W_OK) != 0;
  out->size = static_cast<std::uint64_t>(info.st_size);
  out->native = static_cast<std::uint32_t>(info.st_mode & 07777);
  return {};
}

Outcome Open(const std::string& path, OpenMode mode, Handle* out) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      break;
    case OpenMode::kReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::kCreateOrTruncate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case OpenMode::kCreateNew:
      flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  const int fd = ::open(Native(path).c_str(), flags, 0644);
  if (fd < 0) return FromErrno(errno);
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return {Status::kAccessDenied, EISDIR};
  }
  *out = fd;
  return {};
}

Outcome Read(Handle handle, void* buffer, std::size_t size, std::size_t* got) noexcept {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(handle), buffer, size);
    if (n >= 0) {
      *got = static_cast<std::size_t>(n);
      return {};
    }
    if (errno != EINTR) return FromErrno(errno);
  }
}

Outcome Write(Handle handle, const void* data, std::size_t size) noexcept {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(handle), p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FromErrno(errno);
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return {};
}

Outcome Seek(Handle handle, std::uint64_t offset) noexcept {
  if (::lseek(static_cast<int>(handle), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return FromErrno(errno);
  }
  return {};
}

Outcome Truncate(Handle handle, std::uint64_t size) noexcept {
  if (::ftruncate(static_cast<int>(handle), static_cast<off_t>(size)) != 0) {
    return FromErrno(errno);
  }
  return {};
}

Outcome Flush(Handle handle) noexcept {
  if (::fsync(static_cast<int>(handle)) != 0) return FromErrno(errno);
  return {};
}

Outcome Close(Handle handle) noexcept {
  if (::close(static_cast<int>(handle)) != 0) return FromErrno(errno);
  return {};
}

Outcome Replace(const std::string& from, const std::string& to) {
  if (::rename(Native(from).c_str(), Native(to).c_str()) != 0) return FromErrno(errno);
  return {};
}

Outcome Remove(const std::string& path) {
  if (::unlink(Native(path).c_str()) != 0) return FromErrno(errno);
  return {};
}

Outcome SetAttributes(const std::string& path, std::uint32_t native) {
  if (::chmod(Native(path).c_str(), static_cast<mode_t>(native)) != 0) return FromErrno(errno);
  return {};
}

Outcome CarryIdentity(const std::string& from, const std::string& to) {
  struct stat old_info;
  struct stat new_info;
  if (::stat(Native(from).c_str(), &old_info) != 0) return FromErrno(errno);
  if (::stat(Native(to).c_str(), &new_info) != 0) return FromErrno(errno);
  // Only a change is asked for: a file system without owners, or a caller
  // who may not give files away, then still saves a file of its own.
  if (old_info.st_uid == new_info.st_uid && old_info.st_gid == new_info.st_gid) return {};
  if (::chown(Native(to).c_str(), old_info.st_uid, old_info.st_gid) != 0) return FromErrno(errno);
  return {};
}

Outcome SyncFolder(const std::string& folder) {
  const std::string native = folder.empty() ? std::string(".") : Native(folder);
  const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno);
  const int rc = ::fsync(fd);
  const int code = errno;
  ::close(fd);
  return rc == 0 ? Outcome() : FromErrno(code);
}

Outcome Locate(const std::string& path, Location* out) {
  char resolved[PATH_MAX];
  if (::realpath(Native(path).c_str(), resolved) == nullptr) return FromErrno(errno);
  struct stat info;
  if (::stat(resolved, &info) != 0) return FromErrno(errno);
  out->path = resolved;
  out->links = static_cast<std::uint32_t>(info.st_nlink);
  return {};
}

void SleepMs(unsigned milliseconds) noexcept;

// A held lock: the descriptor that holds the flock, and the lock file to
// remove when it is let go ("" when the table itself is locked).
struct HeldLock {
  int fd;
  std::string file;
};

bool SameFile(int fd, const std::string& path) {
  struct stat held;
  struct stat named;
  return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Locks "~TABLE08.dat.sbrep-lock" beside the table, which exists only while
// it is held. A lock won on a file that another holder removed in the
// meantime is no lock: it is taken again on the file now there.
Outcome Lock(const std::string& table_path, unsigned wait_ms, Handle* out) {
  const std::string table = Native(table_path);
  std::string file = Native(FolderOf(table_path)) + "~" + NameOf(table) + ".sbrep-lock";
  constexpr unsigned kPollMs = 10;
  unsigned waited = 0;
  for (;;) {
    // Read-only, so that anyone who may read the folder may lock.
    int fd = ::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      // No file may be created here, so no rename can replace the table
      // either: its inode stays, and it is the lock.
      file.clear();
      fd = ::open(table.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) return FromErrno(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (file.empty() || SameFile(fd, file)) {
        // A lock whose record cannot be made must not stay held.
        auto* held = new (std::nothrow) HeldLock{fd, std::move(file)};
        if (held == nullptr) {
          ::close(fd);
          return {Status::kOutOfMemory, ENOMEM};
        }
        *out = reinterpret_cast<Handle>(held);
        return {};
      }
      ::close(fd);
      continue;
    }
    const int code = errno;
    ::close(fd);
    if (code != EWOULDBLOCK && code != EINTR) return FromErrno(code);
    if (waited >= wait_ms) return {Status::kSharingViolation, code};
    SleepMs(kPollMs);
    waited += kPollMs;
  }
}

Outcome Unlock(Handle lock) noexcept {
  const HeldLock* held = reinterpret_cast<HeldLock*>(lock);
  // Removed while still held, so that no one can lock the old file after.
  if (!held->file.empty()) ::unlink(held->file.c_str());
  const Outcome outcome = Close(held->fd);
  delete held;
  return outcome;
}

Outcome Append(const std::string& path, const void* data, std::size_t size) {
  // Only the user reads it: the lines hold file paths.
  const int fd = ::open(Native(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return FromErrno(errno);
  // One write: a short one (a full disk) leaves a cut-off line, never a
  // line split around another process's.
  ssize_t n;
  do {
    n = ::write(fd, data, size);
  } while (n < 0 && errno == EINTR);
  const int code = n < 0 ? errno : (static_cast<std::size_t>(n) < size ? ENOSPC : 0);
  ::close(fd);
  return FromErrno(code);
}

Outcome CreateFolder(const std::string& path) {
  if (::mkdir(Native(path).c_str(), 0700) == 0) return {};
  const int code = errno;
  struct stat info;
  if (code == EEXIST && ::stat(Native(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return {};
  }
  return FromErrno(code);
}

void SleepMs(unsigned milliseconds) noexcept {
  struct timespec delay;
  delay.tv_sec = milliseconds / 1000;
  delay.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

// Filled by name; the entries that take a path convert it, which allocates.
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
  ops.sync_folder = NoThrow<&SyncFolder>;
  ops.locate = NoThrow<&Locate>;
  ops.lock = NoThrow<&Lock>;
  ops.unlock = &Unlock;
  ops.append = NoThrow<&Append>;
  ops.create_folder = NoThrow<&CreateFolder>;
  ops.sleep_ms = &SleepMs;
  return ops;
}

}  // namespace

std::uint32_t WithoutReadOnly(std::uint32_t native) { return native | S_IWUSR; }

const Ops& PlatformFileSystem() {
  static const Ops ops = MakeOps();
  return ops;
}

}  // namespace sbrep::fs
