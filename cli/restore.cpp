// sbrep restore: a backup goes back through the same crash-safe save a
// transfer uses, after the diff and a yes, only into the install it came
// from, and only once its bytes are proven the backup its sidecar names and
// read as the table.
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "cli/backup.h"
#include "cli/commands.h"
#include "cli/diff.h"
#include "cli/interrupt.h"
#include "cli/shared.h"
#include "core/error.h"
#include "install/filing_client.h"
#include "platform/filesystem.h"
#include "table_file/save.h"
#include "table_file/table_lines.h"
#include "table_file/table_lock.h"

namespace sbrep::cli {
namespace {

constexpr std::uint64_t kReadLimit = 1u << 30;

int Refuse(Console& console, int status, const std::string& why, const std::string& detail = {}) {
  console.err << "not restored: " << why << "\n";
  if (!detail.empty()) console.err << "detail: " << detail << "\n";
  console.err << std::flush;
  return status;
}

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

}  // namespace

int RunRestore(const Arguments& args, Console& console) {
  std::string folder;
  try {
    folder = BackupFolder(args);
    if (args.list || args.backup.empty()) return List(folder, args.all, console);
  } catch (const BackupError& e) {
    return Refuse(console, kExitMachine, "the backups cannot be listed", e.what());
  }

  // A name as --list shows it, or a path to a backup anywhere.
  const bool is_path = args.backup.find_first_of("\\/") != std::string::npos;
  const std::string path = is_path ? args.backup : JoinPath(folder, args.backup);
  if (!is_path && !ParseBackupName(args.backup)) {
    return Refuse(console, kExitInstall,
                  "'" + args.backup + "' is no backup's name; sbrep restore --list shows them");
  }
  if (!fs::IsFile(path) && !fs::IsFolder(path) && !IsLink(path)) {
    return Refuse(console, kExitInstall, "there is no backup " + path);
  }

  const std::string install = args.client ? *args.client : ReadFilingClientPath();
  if (install.empty()) {
    return Refuse(console, kExitInstall,
                  "no install folder is registered; give --client with the one the backup is of");
  }
  if (!fs::IsFolder(install)) {
    return Refuse(console, kExitInstall, "the install folder '" + install + "' does not exist");
  }
  InstallIdentity identity;
  try {
    identity = IdentifyInstall(install);
  } catch (const BackupError& e) {
    return Refuse(console, kExitInstall, "the install folder cannot be opened", e.what());
  }

  // Everything is checked on the bytes read here, and only they are written.
  std::string bytes;
  std::string table_name;
  const std::string shown = fs::NameOf(path);
  try {
    CheckedBackup checked = ReadCheckedBackup(path);
    const BackupFacts& facts = checked.entry.facts;
    if (facts.install_id != identity.id) {
      return Refuse(console, kExitInstall,
                    "the backup is of another install (" + facts.install + "), not of '" +
                        identity.folder + "'; give --client with the folder it is of");
    }
    bytes = std::move(checked.bytes);
    table_name = facts.table;
  } catch (const NoSidecar& e) {
    if (!is_path || !args.force) {
      return Refuse(console, kExitInstall,
                    fs::NameOf(path) + " is not a backup the tool took: " + e.what(),
                    "a backup of 1.1.0 has no sidecar: give its path and --force, and its "
                    "content is checked before it goes back");
    }
    fs::Outcome read;
    bytes = ReadFile(path, &read);
    if (!read.ok()) {
      return Refuse(console, kExitMachine, "the backup cannot be read",
                    path + ": " + fs::Describe(read));
    }
    table_name = TableNamedBy(bytes);
    const std::string named = TableOfOldName(shown);
    if (!named.empty() && named != table_name) {
      return Refuse(console, kExitInstall, shown + " does not read as " + named,
                    "its first line names " + (table_name.empty() ? "no table" : table_name));
    }
    console.err << "note: " << fs::NameOf(path)
                << " has no sidecar; its install cannot be checked, only its content\n"
                << std::flush;
  } catch (const NotABackup& e) {
    return Refuse(console, kExitInstall, fs::NameOf(path) + " is not a backup the tool took",
                  e.what());
  } catch (const BackupError& e) {
    return Refuse(console, kExitMachine, "the backup cannot be read", e.what());
  }
  if (auto wrong = NotTableContent(bytes, table_name)) {
    return Refuse(console, kExitInstall,
                  shown + " does not read as " + (table_name.empty() ? "a table" : table_name),
                  *wrong);
  }
  const std::string table = install + "\\Dexlan\\ICDAT\\" + table_name;
  if (!fs::IsFolder(fs::FolderOf(table))) {
    return Refuse(console, kExitInstall, "the folder " + fs::FolderOf(table) + " does not exist");
  }

  const TableLines backup_lines = SplitTableLines(bytes);
  // The table as the diff shows it: read under its lock, after rolling back
  // whatever a killed save left, as a transfer would.
  std::optional<std::string> current;
  try {
    current = ReadTable(table);
  } catch (const Error& e) {
    return Refuse(console, kExitTable, "the table file is at fault", e.detail());
  }
  const bool exists = current.has_value();
  const std::string current_bytes = current.value_or(std::string());
  if (exists && current_bytes == bytes) {
    console.out << "no change: " << table_name << " already holds this backup\n" << std::flush;
    return kExitReady;
  }
  const std::string diff = UnifiedDiff(SplitTableLines(current_bytes).lines(), backup_lines.lines(),
                                       {table, table + " (after restore)"}, EscapedLine);
  console.out << (diff.empty() ? "the lines are the same; their line breaks differ\n" : diff)
              << std::flush;
  if (JoinTableLines(backup_lines) != bytes) {
    console.err << "note: the backup's line breaks are not all CR LF; the restore writes CR LF "
                   "after every line, as a transfer does\n";
  }
  if (auto refusal = ProbeWritable(table)) {
    return Refuse(console, kExitTable, "the table file is at fault", *refusal);
  }
  if (!args.yes && !Confirmed(console, table_name)) {
    return Refuse(console, kExitFailed, "not confirmed; nothing was restored");
  }

  std::string previous;
  {
    const HoldInterrupts hold;
    SetInterruptText("sbrep: interrupted; " + table_name + " was left as it was\n");
    // The lock is not held while a person decides: a host's transfer would
    // wait on it and fail. It is taken again for the save, and the table
    // must still be what the diff showed.
    TableLock lock;
    try {
      lock = LockTable(table);
      if (ReadTableHeld(table) != current) {
        return Refuse(console, kExitTable,
                      "the table changed since the diff above; nothing was written");
      }
    } catch (const Error& e) {
      return Refuse(console, kExitTable, "the table file is at fault", e.detail());
    }
    try {
      // The restore replaces the table too, so what it holds now is kept.
      if (exists) previous = WriteBackup(folder, table, shown);
    } catch (const BackupError& e) {
      return Refuse(console, kExitMachine,
                    "the backup of the table as it is failed; nothing "
                    "was written",
                    e.what());
    }
    try {
      SaveTableLines(backup_lines, table);
    } catch (const Error& e) {
      return Refuse(console, kExitTable, "the save failed", e.detail());
    }
    SetInterruptText("sbrep: interrupted; " + table_name + " was restored from " + path + "\n");
  }
  if (!previous.empty()) console.out << "backup: " << previous << "\n";
  console.out << "restored: " << table_name << " from " << shown << "\n" << std::flush;
  return kExitReady;
}

}  // namespace sbrep::cli
