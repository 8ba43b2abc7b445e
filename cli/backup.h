// The copies of table files that the tool takes before it replaces one, in a
// folder of its own outside the client's: named with the time, the table and
// the install folder, and the last 50 of each table of each install kept.
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

// A backup's name, "20240315-143012-123_TABLE08_C-Dexlan_3f2a9c1b.dat":
// the local time, the table, the install folder made fit for a file name,
// and an id of the full install folder that tells two installs apart.
struct BackupName {
  std::string time;     // "20240315-143012-123"
  std::string table;    // "TABLE08.dat"
  std::string install;  // "C-Dexlan"
  std::string id;       // "3f2a9c1b"
  std::string file;     // the whole name
};

// The id of an install folder: the same for the folder however its
// separators, its letter case or a trailing separator are written.
std::string InstallId(const std::string& install_folder);

// The name of a backup of `table` taken at `time`.
BackupName NameBackup(const std::string& time, const std::string& table,
                      const std::string& install_folder);
// Nothing for a file name that is no backup's.
std::optional<BackupName> ParseBackupName(const std::string& file);

// The install folder of a table path "<install>\Dexlan\ICDAT\TABLE08.dat".
std::string InstallFolderOf(const std::string& table_path);

// A failure to back up, list or prune; what() says what and why.
class BackupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Copies the bytes of `table_path` into `folder` (created as needed) and
// gives the backup's path; then keeps the last kBackupsKept backups of that
// table and install, and never `keep`. A backup is written under a
// temporary name first, so that no half-written one is ever listed. Throws
// BackupError.
std::string WriteBackup(const std::string& folder, const std::string& table_path,
                        const std::string& keep = {});

struct BackupEntry {
  BackupName name;
  std::string path;
  std::uint64_t size = 0;
};

// The backups in `folder`, newest first; none when it does not exist.
// Throws BackupError when it cannot be read.
std::vector<BackupEntry> ListBackups(const std::string& folder);

// "20240315-143012-123" as "2024-03-15 14:30:12".
std::string ShownTime(const std::string& time);

}  // namespace sbrep::cli
