// sbrep restore: a backup goes back through the same crash-safe save a
// transfer uses, after the diff and a yes, and only into the install it
// came from.
#include <cctype>
#include <optional>
#include <string>

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

int List(const std::string& folder, Console& console) {
  const std::vector<BackupEntry> entries = ListBackups(folder);
  if (entries.empty()) {
    console.out << "no backups in " << folder << "\n" << std::flush;
    return kExitReady;
  }
  console.out << entries.size() << (entries.size() == 1 ? " backup" : " backups") << " in "
              << folder << ", newest first:\n";
  for (const BackupEntry& entry : entries) {
    console.out << "  " << entry.name.file << "\n"
                << "      " << entry.name.table << " of " << entry.name.install << ", taken "
                << ShownTime(entry.name.time) << ", " << entry.size << " bytes\n";
  }
  console.out << "sbrep restore NAME puts one back.\n" << std::flush;
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

std::optional<std::string> ReadTable(const std::string& table) {
  const TableLock lock = LockTable(table);
  return ReadTableHeld(table);
}

}  // namespace

int RunRestore(const Arguments& args, Console& console) {
  std::string folder;
  try {
    folder = BackupFolder(args);
    if (args.list || args.backup.empty()) return List(folder, console);
  } catch (const BackupError& e) {
    return Refuse(console, kExitMachine, "the backups cannot be listed", e.what());
  }

  // A name as --list shows it, or a path to a backup anywhere.
  const bool is_path = args.backup.find_first_of("\\/") != std::string::npos;
  const std::string path = is_path ? args.backup : JoinPath(folder, args.backup);
  const auto name = ParseBackupName(fs::NameOf(path));
  if (!name) {
    return Refuse(
        console, kExitInstall,
        "'" + fs::NameOf(path) + "' is no backup's name; sbrep restore --list shows them");
  }
  if (!fs::IsFile(path)) return Refuse(console, kExitInstall, "there is no backup " + path);

  const std::string install = args.client ? *args.client : ReadFilingClientPath();
  if (install.empty()) {
    return Refuse(console, kExitInstall,
                  "no install folder is registered; give --client with the one the backup is of");
  }
  if (!fs::IsFolder(install)) {
    return Refuse(console, kExitInstall, "the install folder '" + install + "' does not exist");
  }
  if (InstallId(install) != name->id) {
    return Refuse(console, kExitInstall,
                  "the backup is of another install (" + name->install + ", id " + name->id +
                      "), not of '" + install + "' (id " + InstallId(install) +
                      "); give --client with the folder it is of");
  }
  const std::string table = install + "\\Dexlan\\ICDAT\\" + name->table;
  if (!fs::IsFolder(fs::FolderOf(table))) {
    return Refuse(console, kExitInstall, "the folder " + fs::FolderOf(table) + " does not exist");
  }

  fs::Outcome read;
  const std::string bytes = ReadFile(path, &read);
  if (!read.ok()) {
    return Refuse(console, kExitMachine, "the backup cannot be read",
                  path + ": " + fs::Describe(read));
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
    console.out << "no change: " << name->table << " already holds this backup\n" << std::flush;
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
  if (!args.yes && !Confirmed(console, name->table)) {
    return Refuse(console, kExitFailed, "not confirmed; nothing was restored");
  }

  std::string previous;
  {
    const HoldInterrupts hold;
    SetInterruptText("sbrep: interrupted; " + name->table + " was left as it was\n");
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
      if (exists) previous = WriteBackup(folder, table, name->file);
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
    SetInterruptText("sbrep: interrupted; " + name->table + " was restored from " + path + "\n");
  }
  if (!previous.empty()) console.out << "backup: " << previous << "\n";
  console.out << "restored: " << name->table << " from " << name->file << "\n" << std::flush;
  return kExitReady;
}

}  // namespace sbrep::cli
