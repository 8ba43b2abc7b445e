// The file-system seam. Every file operation of the library goes through the
// table returned by FileSystem(), so that tests can make any step fail.
// Paths are UTF-8; both '\' and '/' separate folders on every platform.
//
// The entries never throw: whatever goes wrong inside one, memory that runs
// out included, comes back as its Outcome, so that they may be called where
// nothing may throw (after a table is replaced, while one is restored). The
// helpers below the table turn kOutOfMemory back into std::bad_alloc, as any
// allocation above the seam would throw it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sbrep::fs {

enum class Status {
  kOk,
  kNotFound,
  kAccessDenied,      // includes a read-only file or folder
  kSharingViolation,  // another handle's sharing mode forbids this
  kTooLarge,          // more bytes than the reader allows
  kExists,            // a file that must be new is there already
  kOther,
  kOutOfMemory,  // the backend could not get the memory it needed
  kInternal,     // the backend threw something else: a fault of ours
};

// Why an operation failed, for the detail text.
struct Outcome {
  Status status = Status::kOk;
  long native_code = 0;  // errno or GetLastError()
  bool ok() const { return status == Status::kOk; }
};

enum class OpenMode {
  kRead,              // existing file, read access, sharing read, write and delete
  kReadWrite,         // existing file, read and write access, sharing read and write
  kCreateOrTruncate,  // a new file, or an old one emptied; write access, no sharing
  kCreateNew,         // a new file only (kExists otherwise); write access, no sharing
};

using Handle = std::intptr_t;

struct Attributes {
  bool exists = false;
  bool directory = false;
  bool read_only = false;  // read-only attribute, or no write permission
  std::uint64_t size = 0;
  std::uint32_t native = 0;  // Windows attributes or POSIX mode bits
};

// Where a save puts its bytes: the file a path names, and how many names it has.
struct Location {
  std::string path;         // symbolic links followed (POSIX); the path as given on Windows
  std::uint32_t links = 1;  // hard links to the file
};

// The system calls, one entry each; none throws.
struct Ops {
  Outcome (*stat)(const std::string& path, Attributes* out) noexcept;
  Outcome (*open)(const std::string& path, OpenMode mode, Handle* out) noexcept;
  Outcome (*read)(Handle handle, void* buffer, std::size_t size, std::size_t* got) noexcept;
  Outcome (*write)(Handle handle, const void* data, std::size_t size) noexcept;
  Outcome (*seek)(Handle handle, std::uint64_t offset) noexcept;
  Outcome (*truncate)(Handle handle, std::uint64_t size) noexcept;
  Outcome (*flush)(Handle handle) noexcept;
  Outcome (*close)(Handle handle) noexcept;
  // Replaces `to` by `from` in one step.
  Outcome (*replace)(const std::string& from, const std::string& to) noexcept;
  Outcome (*remove)(const std::string& path) noexcept;
  // Gives `path` the attributes or mode bits `native`.
  Outcome (*set_attributes)(const std::string& path, std::uint32_t native) noexcept;
  // Gives `to` the owner, group and access list of `from` (its DACL on
  // Windows; on POSIX the mode bits go with set_attributes).
  Outcome (*carry_identity)(const std::string& from, const std::string& to) noexcept;
  // Makes a rename in the folder durable (fsync of the folder; nothing on Windows).
  Outcome (*sync_folder)(const std::string& folder) noexcept;
  // The file behind `path`; see Location.
  Outcome (*locate)(const std::string& path, Location* out) noexcept;
  // Takes the lock of one table across processes, waiting at most `wait_ms`:
  // named mutexes from the table's folder's final path and its name on Windows,
  // the same however the path is spelled; flock on a lock file
  // beside it on POSIX. kSharingViolation: another process holds it. A
  // process that dies lets go of it.
  Outcome (*lock)(const std::string& table_path, unsigned wait_ms, Handle* out) noexcept;
  Outcome (*unlock)(Handle lock) noexcept;
  // Adds `size` bytes at the end of `path` in one write, creating the file
  // when it is missing, so that lines of two processes never interleave
  // (FILE_APPEND_DATA, O_APPEND). No other open handle's sharing mode is
  // waited for.
  Outcome (*append)(const std::string& path, const void* data, std::size_t size) noexcept;
  // Creates one folder; kOk when it exists already.
  Outcome (*create_folder)(const std::string& path) noexcept;
  // Sleeps between retries.
  void (*sleep_ms)(unsigned milliseconds) noexcept;
};

// `native` attributes or mode bits without the read-only attribute (with the
// owner's write permission on POSIX), for set_attributes.
std::uint32_t WithoutReadOnly(std::uint32_t native);

// The table in force. Tests may change entries and must restore them.
Ops& FileSystem();
// The platform's own table.
const Ops& PlatformFileSystem();

// A readable text for an outcome, such as "access denied (5)".
std::string Describe(const Outcome& outcome);

// The outcome, unless memory ran out inside the entry: that is thrown as
// std::bad_alloc, the machine's fault rather than the file's.
Outcome Checked(Outcome outcome);

bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);

// The folder part of a path, up to and including its last separator.
std::string FolderOf(const std::string& path);
// The last component of a path.
std::string NameOf(const std::string& path);

// An open handle that is closed when it goes out of scope. Its calls return
// what Checked returns.
class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  Outcome Open(const std::string& path, OpenMode mode);
  Outcome ReadAll(std::string* bytes, std::uint64_t limit);
  Outcome WriteAll(const std::string& bytes);
  Outcome Close();
  Handle handle() const { return handle_; }
  bool is_open() const { return open_; }

 private:
  Handle handle_ = 0;
  bool open_ = false;
};

}  // namespace sbrep::fs
