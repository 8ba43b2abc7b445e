// sbrep restore: a backup goes back through the same crash-safe save a
// transfer uses, after the diff and a yes, only into the install it came
// from, and only once its bytes are proven the backup its sidecar names and
// read as the table.
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/backup.h"
#include "cli/commands.h"
#include "cli/diff.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "cli/paths.h"
#include "cli/probes.h"
#include "cli/refusal.h"
#include "core/error.h"
#include "install/filing_client.h"
#include "platform/filesystem.h"
#include "table_file/save.h"
#include "table_file/table_lines.h"
#include "table_file/table_lock.h"

namespace sbrep::cli {
namespace {

constexpr std::uint64_t kReadLimit = 1u << 30;

int List(const std::string& folder, bool all, Console& console) {
  std::vector<OtherFile> others;
  const std::vector<BackupEntry> entries = ListBackups(folder, &others);
  if (entries.empty()) {
    console.out << "no backups in " << folder << "\n";
  } else {
    console.out << entries.size() << (entries.size() == 1 ? " backup" : " backups") << " in "
                << folder << ", by install and table, newest first:\n";
  }
  for (const BackupEntry& entry : entries) {
    console.out << "  " << entry.name.file << "\n"
                << "      " << entry.facts.table << " of " << entry.facts.install << ", no. "
                << entry.facts.sequence << ", taken " << entry.facts.taken << ", "
                << entry.facts.size << " bytes\n";
  }
  if (all) {
    if (!others.empty()) console.out << "not backups (never listed, pruned nor restored):\n";
    for (const OtherFile& other : others) {
      console.out << "  " << other.file << ": " << other.why << "\n";
    }
  } else if (!others.empty()) {
    console.out << others.size() << (others.size() == 1 ? " other file is" : " other files are")
                << " not backups; sbrep restore --list --all says why.\n";
  }
  if (!entries.empty()) console.out << "sbrep restore NAME puts one back.\n";
  console.out << std::flush;
  return kExitReady;
}

bool Confirmed(Console& console, const std::string& table) {
  console.err << "restore " << table << " from this backup? [y/N] " << std::flush;
  std::string answer;
  const bool read = static_cast<bool>(std::getline(console.in, answer));
  // A person's answer ended its line on the terminal; a piped one did not.
  if (!console.in_is_terminal) console.err << "\n" << std::flush;
  if (!read) return false;
  while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back()))) {
    answer.pop_back();
  }
  for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return answer == "y" || answer == "yes";
}

std::string ReadFile(const std::string& path, fs::Outcome* outcome) {
  fs::File file;
  std::string bytes;
  *outcome = file.Open(path, fs::OpenMode::kRead);
  if (outcome->ok()) *outcome = file.ReadAll(&bytes, kReadLimit);
  return bytes;
}

// The table's bytes, or nothing when there is no table; the caller holds its
// lock. Throws an Error when it cannot be read.
std::optional<std::string> ReadTableHeld(const std::string& table) {
  if (!fs::IsFile(table)) return std::nullopt;
  fs::Outcome read;
  std::string bytes = ReadFile(table, &read);
  if (!read.ok()) ThrowTableError("cannot read " + fs::NameOf(table) + ": " + fs::Describe(read));
  return bytes;
}

// The table a 1.1.0 backup's name holds, "20240315-143012-123_TABLE08_…"
// giving "TABLE08.dat"; empty for any other name.
std::string TableOfOldName(const std::string& file) {
  constexpr std::size_t kTime = 19;
  if (file.size() <= kTime + 1 || file[kTime] != '_' || file[8] != '-' || file[15] != '-')
    return {};
  const std::size_t end = file.find('_', kTime + 1);
  return end == std::string::npos ? std::string()
                                  : file.substr(kTime + 1, end - kTime - 1) + ".dat";
}

std::optional<std::string> ReadTable(const std::string& table) {
  const TableLock lock = LockTable(table);
  return ReadTableHeld(table);
}

// The file BACKUP names: a name as --list shows it, or a path to a backup
// anywhere.
std::string BackupPath(const Arguments& args, const std::string& folder) {
  const bool is_path = args.backup.find_first_of("\\/") != std::string::npos;
  std::string path = is_path ? args.backup : JoinPath(folder, args.backup);
  if (!is_path && !ParseBackupName(args.backup)) {
    throw Refusal(kExitInstall,
                  "'" + args.backup + "' is no backup's name; sbrep restore --list shows them");
  }
  if (!fs::IsFile(path) && !fs::IsFolder(path) && !IsLink(path)) {
    throw Refusal(kExitInstall, "there is no backup " + path);
  }
  return path;
}

// The install the backup goes back into: --client, or the registry's.
std::string InstallFolder(const Arguments& args) {
  std::string install = args.client ? *args.client : ReadFilingClientPath();
  if (install.empty()) {
    throw Refusal(kExitInstall,
                  "no install folder is registered; give --client with the one the backup is of");
  }
  if (!fs::IsFolder(install)) {
    throw Refusal(kExitInstall, "the install folder '" + install + "' does not exist");
  }
  return install;
}

InstallIdentity IdentityOf(const std::string& install) {
  try {
    return IdentifyInstall(install);
  } catch (const BackupError& e) {
    throw Refusal(kExitInstall, "the install folder cannot be opened", e.what());
  }
}

// What goes back, and into which table.
struct Restorable {
  std::string bytes;
  std::string table_name;
};

// A backup of 1.1.0, which has no sidecar: only its content can be checked.
Restorable ReadOldBackup(const std::string& path, Console& console) {
  const std::string shown = fs::NameOf(path);
  fs::Outcome read;
  Restorable backup{ReadFile(path, &read), {}};
  if (!read.ok()) {
    throw Refusal(kExitMachine, "the backup cannot be read", path + ": " + fs::Describe(read));
  }
  backup.table_name = TableNamedBy(backup.bytes);
  const std::string named = TableOfOldName(shown);
  if (!named.empty() && named != backup.table_name) {
    throw Refusal(
        kExitInstall, shown + " does not read as " + named,
        "its first line names " + (backup.table_name.empty() ? "no table" : backup.table_name));
  }
  console.err << "note: " << shown
              << " has no sidecar; its install cannot be checked, only its content\n"
              << std::flush;
  return backup;
}

// The backup's bytes, proven the backup its sidecar names and of this
// install, or (--force, by its path) a backup of 1.1.0; read once, and only
// they are written.
Restorable ReadBackup(const Arguments& args, const std::string& path,
                      const InstallIdentity& identity, Console& console) {
  const std::string shown = fs::NameOf(path);
  try {
    CheckedBackup checked = ReadCheckedBackup(path);
    const BackupFacts& facts = checked.entry.facts;
    if (facts.install_id != identity.id) {
      throw Refusal(kExitInstall, "the backup is of another install (" + facts.install +
                                      "), not of '" + identity.folder +
                                      "'; give --client with the folder it is of");
    }
    return {std::move(checked.bytes), facts.table};
  } catch (const NoSidecar& e) {
    const bool is_path = args.backup.find_first_of("\\/") != std::string::npos;
    if (!is_path || !args.force) {
      throw Refusal(kExitInstall, shown + " is not a backup the tool took: " + e.what(),
                    "a backup of 1.1.0 has no sidecar: give its path and --force, and its "
                    "content is checked before it goes back");
    }
    return ReadOldBackup(path, console);
  } catch (const NotABackup& e) {
    throw Refusal(kExitInstall, shown + " is not a backup the tool took", e.what());
  } catch (const BackupError& e) {
    throw Refusal(kExitMachine, "the backup cannot be read", e.what());
  }
}

// The diff from the table as it is to the backup, and a word on line
// breaks the restore changes.
void ShowDiff(const std::string& table, const std::string& current_bytes,
              const TableLines& backup_lines, const std::string& backup_bytes, Console& console) {
  const std::string diff = UnifiedDiff(SplitTableLines(current_bytes).lines(), backup_lines.lines(),
                                       {table, table + " (after restore)"}, EscapedLine);
  console.out << (diff.empty() ? "the lines are the same; their line breaks differ\n" : diff)
              << std::flush;
  if (JoinTableLines(backup_lines) != backup_bytes) {
    console.err << "note: the backup's line breaks are not all CR LF; the restore writes CR LF "
                   "after every line, as a transfer does\n";
  }
}

// The table as it is, read under its lock after rolling back whatever a
// killed save left, as a transfer would; nothing when there is none.
std::optional<std::string> CurrentTable(const std::string& table) {
  try {
    return ReadTable(table);
  } catch (const Error& e) {
    throw Refusal(kExitTable, "the table file is at fault", e.detail());
  }
}

// Saves the backup over the table, which must still be what the diff
// showed, after backing the table up as it is. Gives that backup's path.
std::string SaveOver(const std::string& folder, const std::string& table,
                     const TableLines& backup_lines, const std::string& shown,
                     const std::optional<std::string>& current) {
  // The lock is not held while a person decides: a host's transfer would
  // wait on it and fail. It is taken again for the save.
  TableLock lock;
  try {
    lock = LockTable(table);
    if (ReadTableHeld(table) != current) {
      throw Refusal(kExitTable, "the table changed since the diff above; nothing was written");
    }
  } catch (const Error& e) {
    throw Refusal(kExitTable, "the table file is at fault", e.detail());
  }
  std::string previous;
  try {
    // The restore replaces the table too, so what it holds now is kept.
    if (current) previous = WriteBackup(folder, table, shown);
  } catch (const BackupError& e) {
    throw Refusal(kExitMachine, "the backup of the table as it is failed; nothing was written",
                  e.what());
  }
  try {
    SaveTableLines(backup_lines, table);
  } catch (const Error& e) {
    throw Refusal(kExitTable, "the save failed", e.detail());
  }
  return previous;
}

}  // namespace

int RunRestore(const Arguments& args, Console& console) {
  std::string folder;
  try {
    folder = BackupFolder(args);
    if (args.list || args.backup.empty()) return List(folder, args.all, console);
  } catch (const BackupError& e) {
    throw Refusal(kExitMachine, "the backups cannot be listed", e.what());
  }
  const std::string path = BackupPath(args, folder);
  const std::string install = InstallFolder(args);
  const Restorable backup = ReadBackup(args, path, IdentityOf(install), console);
  const std::string& table_name = backup.table_name;
  const std::string shown = fs::NameOf(path);
  if (auto wrong = NotTableContent(backup.bytes, table_name)) {
    throw Refusal(kExitInstall,
                  shown + " does not read as " + (table_name.empty() ? "a table" : table_name),
                  *wrong);
  }
  const std::string table = TablePath(install, table_name);
  if (!fs::IsFolder(fs::FolderOf(table))) {
    throw Refusal(kExitInstall, "the folder " + fs::FolderOf(table) + " does not exist");
  }
  const TableLines backup_lines = SplitTableLines(backup.bytes);
  const std::optional<std::string> current = CurrentTable(table);
  if (current && *current == backup.bytes) {
    console.out << "no change: " << table_name << " already holds this backup\n" << std::flush;
    return kExitReady;
  }
  ShowDiff(table, current.value_or(std::string()), backup_lines, backup.bytes, console);
  ProbeWritable(table);
  if (!args.yes && !Confirmed(console, table_name)) {
    throw Refusal(kExitFailed, "not confirmed; nothing was restored");
  }
  std::string previous;
  {
    const auto hold = std::make_shared<HoldInterrupts>();
    SetInterruptText("sbrep: interrupted; " + table_name + " was left as it was\n");
    try {
      previous = SaveOver(folder, table, backup_lines, shown, current);
    } catch (Refusal& refusal) {
      refusal.HoldUntilTold(hold);
      throw;
    }
    SetInterruptText("sbrep: interrupted; " + table_name + " was restored from " + path + "\n");
  }
  if (!previous.empty()) console.out << "backup: " << previous << "\n";
  console.out << "restored: " << table_name << " from " << shown << "\n" << std::flush;
  return kExitReady;
}

}  // namespace sbrep::cli
