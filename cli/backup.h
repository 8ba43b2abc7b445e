// The copies of table files that the tool takes before it replaces one, in a
// folder of its own outside the client's. Each backup is the table's bytes,
// with a sidecar beside it that holds its facts; a file without a valid
// sidecar is no backup, and is never listed, pruned nor restored as one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sbrep::cli {

// How many backups of one table of one install are kept.
constexpr std::size_t kBackupsKept = 50;

// A failure to back up, list or prune; what() says what and why.
class BackupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file that is not a backup the tool took, or does not match its sidecar.
class NotABackup : public BackupError {
 public:
  using BackupError::BackupError;
};

// The same, for a file that has no sidecar at all (a backup of 1.1.0, or
// not the tool's).
class NoSidecar : public NotABackup {
 public:
  using NotABackup::NotABackup;
};

// An install as one folder, however its path is spelled.
struct InstallIdentity {
  std::string folder;  // the folder resolved
  std::string id;      // SHA-256 of `folder`'s bytes, hexadecimal
};

// Throws BackupError when the folder cannot be opened.
InstallIdentity IdentifyInstall(const std::string& install_folder);

// A backup's name, "TABLE08_C-Dexlan_3f2a9c1b_000042.dat": the table, the
// install folder made fit for a file name, the start of the install's id,
// and the backup's number among those of that table and install.
struct BackupName {
  std::string table;    // "TABLE08.dat"
  std::string install;  // "C-Dexlan"
  std::string id;       // "3f2a9c1b"
  std::uint64_t sequence = 0;
  std::string file;  // the whole name
};

BackupName NameBackup(const std::string& table, const InstallIdentity& install,
                      std::uint64_t sequence);
// Nothing for a file name that is no backup's.
std::optional<BackupName> ParseBackupName(const std::string& file);

// The sidecar's path for a backup's: "….dat" becomes "….json".
std::string SidecarOf(const std::string& backup_path);

// What a sidecar holds.
struct BackupFacts {
  std::string install;     // the install folder, resolved
  std::string install_id;  // InstallIdentity::id
  std::string table;       // "TABLE08.dat"
  std::uint64_t sequence = 0;
  std::uint64_t size = 0;
  std::string sha256;  // of the backup's bytes
  std::string taken;   // UTC, "2024-03-15T14:30:12Z"
  std::string tool;    // "sbrep 1.2.0"
};

struct BackupEntry {
  BackupName name;
  BackupFacts facts;
  std::string path;
};

// A backup and its bytes, checked against its sidecar: neither file is a
// symbolic link, the sidecar names the file, and its size and SHA-256 are
// the bytes'. Throws NoSidecar, NotABackup with the reason, or BackupError
// when a file cannot be read.
struct CheckedBackup {
  BackupEntry entry;
  std::string bytes;
};
CheckedBackup ReadCheckedBackup(const std::string& path);

// A symbolic link, which nothing in the backup folder follows.
bool IsLink(const std::string& path);

// The install folder of a table path "<install>\Dexlan\ICDAT\TABLE08.dat".
std::string InstallFolderOf(const std::string& table_path);

// Copies the bytes of `table_path` into `folder` (created as needed) and
// gives the backup's path. When the newest backup of that table and install
// holds the same bytes, no copy is taken and its path is given. Then keeps
// the newest kBackupsKept backups of that table and install, and never the
// one just taken nor `keep`. Throws BackupError.
std::string WriteBackup(const std::string& folder, const std::string& table_path,
                        const std::string& keep = {});

// A file in the backup folder that is no backup, and why.
struct OtherFile {
  std::string file;
  std::string why;
};

// The backups in `folder`, by install and table, newest first; none when
// the folder does not exist. The files that are no backups go to `others`.
// Throws BackupError when the folder cannot be read.
std::vector<BackupEntry> ListBackups(const std::string& folder,
                                     std::vector<OtherFile>* others = nullptr);

// Why `bytes` cannot be the content of `table` ("TABLE08.dat"), or nothing:
// its first line must be "[TABLE08]", and its lines enough for the kind.
std::optional<std::string> NotTableContent(const std::string& bytes, const std::string& table);

// The table a content's first line names, "[TABLE08]" giving "TABLE08.dat";
// empty when it names none.
std::string TableNamedBy(const std::string& bytes);

}  // namespace sbrep::cli
