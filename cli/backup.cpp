#include "cli/backup.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>

#include "cli/places.h"
#include "cli/shared.h"
#include "platform/filesystem.h"

namespace sbrep::cli {
namespace {

constexpr char kSuffix[] = ".dat";
// The table's folder below the install.
constexpr std::string_view kTableFolder = "?Dexlan?ICDAT?";
// A table file is a few kilobytes; this only bounds a damaged one.
constexpr std::uint64_t kReadLimit = 1u << 30;
// The install folder's part of a name, in bytes.
constexpr std::size_t kLabelBytes = 40;

std::filesystem::path U8(const std::string& utf8) { return std::filesystem::u8path(utf8); }

// The install folder as part of a file name: what a file name cannot hold,
// blanks and underscores (which part the name) become '-'.
std::string Label(const std::string& install_folder) {
  std::string label;
  for (const char c : install_folder) {
    const auto u = static_cast<unsigned char>(c);
    const bool bad = u <= ' ' || std::string_view("\\/:*?\"<>|_").find(c) != std::string::npos;
    if (bad) {
      if (!label.empty() && label.back() != '-') label += '-';
    } else {
      label += c;
    }
  }
  while (!label.empty() && (label.back() == '-' || label.back() == '.')) label.pop_back();
  if (label.size() > kLabelBytes) {
    // Cut on a character's first byte, never inside one.
    std::size_t cut = kLabelBytes;
    while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80) --cut;
    label.resize(cut);
  }
  return label.empty() ? "install" : label;
}

bool IsDigits(std::string_view text, std::size_t count) {
  return text.size() == count &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsTime(std::string_view time) {
  return time.size() == 19 && IsDigits(time.substr(0, 8), 8) && time[8] == '-' &&
         IsDigits(time.substr(9, 6), 6) && time[15] == '-' && IsDigits(time.substr(16), 3);
}

bool IsId(std::string_view id) {
  return id.size() == 8 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::string ReadAll(const std::string& path, const std::string& what) {
  fs::File file;
  std::string bytes;
  fs::Outcome outcome = file.Open(path, fs::OpenMode::kRead);
  if (outcome.ok()) outcome = file.ReadAll(&bytes, kReadLimit);
  if (!outcome.ok()) throw BackupError("cannot read " + what + ": " + fs::Describe(outcome));
  return bytes;
}

// Writes under a temporary name, then gives the file its name: a backup
// that is listed is whole.
void WriteWhole(const std::string& path, const std::string& bytes) {
  fs::Ops& ops = fs::FileSystem();
  const std::string temp = fs::FolderOf(path) + "~" + fs::NameOf(path) + ".partial";
  fs::Outcome outcome;
  {
    fs::File file;
    outcome = file.Open(temp, fs::OpenMode::kCreateOrTruncate);
    if (outcome.ok()) outcome = file.WriteAll(bytes);
    if (outcome.ok()) outcome = ops.flush(file.handle());
    const fs::Outcome closed = file.Close();
    if (outcome.ok()) outcome = closed;
  }
  if (outcome.ok()) outcome = ops.replace(temp, path);
  if (!outcome.ok()) {
    ops.remove(temp);
    throw BackupError("cannot write the backup " + path + ": " + fs::Describe(outcome));
  }
  ops.sync_folder(fs::FolderOf(path));
}

// Removes all but the newest kBackupsKept backups of one table of one
// install. A backup that will not go stays; the next transfer tries again.
void Prune(const std::string& folder, const BackupName& of, const std::string& keep) {
  std::size_t seen = 0;
  for (const BackupEntry& entry : ListBackups(folder)) {
    if (entry.name.table != of.table || entry.name.id != of.id) continue;
    if (++seen <= kBackupsKept || entry.name.file == keep) continue;
    fs::FileSystem().remove(entry.path);
  }
}

}  // namespace

std::string InstallId(const std::string& install_folder) {
  std::string folder = install_folder;
  for (char& c : folder) {
    if (c == '/') c = '\\';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  while (folder.size() > 1 && folder.back() == '\\') folder.pop_back();
  // FNV-1a: short, and stable across builds and platforms.
  std::uint32_t hash = 2166136261u;
  for (const char c : folder) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  char id[16];
  std::snprintf(id, sizeof id, "%08x", static_cast<unsigned>(hash));
  return id;
}

BackupName NameBackup(const std::string& time, const std::string& table,
                      const std::string& install_folder) {
  BackupName name;
  name.time = time;
  name.table = table;
  name.install = Label(install_folder);
  name.id = InstallId(install_folder);
  const std::string stem = table.size() > 4 && table.compare(table.size() - 4, 4, kSuffix) == 0
                               ? table.substr(0, table.size() - 4)
                               : table;
  name.file = time + "_" + stem + "_" + name.install + "_" + name.id + kSuffix;
  return name;
}

std::optional<BackupName> ParseBackupName(const std::string& file) {
  const std::size_t suffix = sizeof kSuffix - 1;
  if (file.size() <= suffix || file.compare(file.size() - suffix, suffix, kSuffix) != 0) {
    return std::nullopt;
  }
  const std::string stem = file.substr(0, file.size() - suffix);
  const auto first = stem.find('_');
  const auto second = first == std::string::npos ? first : stem.find('_', first + 1);
  const auto last = stem.rfind('_');
  if (second == std::string::npos || last <= second) return std::nullopt;
  BackupName name;
  name.time = stem.substr(0, first);
  name.table = stem.substr(first + 1, second - first - 1) + kSuffix;
  name.install = stem.substr(second + 1, last - second - 1);
  name.id = stem.substr(last + 1);
  name.file = file;
  if (!IsTime(name.time) || name.table.size() == suffix || name.install.empty() || !IsId(name.id)) {
    return std::nullopt;
  }
  return name;
}

std::string InstallFolderOf(const std::string& table_path) {
  // Either separator, where '?' stands in kTableFolder.
  const auto matches = [&](std::size_t at) {
    for (std::size_t i = 0; i < kTableFolder.size(); ++i) {
      const char c = table_path[at + i];
      if (kTableFolder[i] == '?' ? c != '\\' && c != '/' : c != kTableFolder[i]) return false;
    }
    return true;
  };
  for (std::size_t at = table_path.size(); at-- > 0;) {
    if (at + kTableFolder.size() <= table_path.size() && matches(at))
      return table_path.substr(0, at);
  }
  return fs::FolderOf(table_path);
}

std::string WriteBackup(const std::string& folder, const std::string& table_path,
                        const std::string& keep) {
  std::error_code error;
  std::filesystem::create_directories(U8(folder), error);
  if (error || !fs::IsFolder(folder)) {
    throw BackupError("cannot make the backup folder " + folder +
                      (error ? ": " + error.message() : std::string(": a file is in the way")));
  }
  const std::string table = fs::NameOf(table_path);
  const std::string bytes = ReadAll(table_path, table);
  BackupName name = NameBackup(LocalTimeStamp(), table, InstallFolderOf(table_path));
  // Two transfers in one millisecond get two names.
  while (fs::IsFile(JoinPath(folder, name.file))) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    name = NameBackup(LocalTimeStamp(), table, InstallFolderOf(table_path));
  }
  std::string path = JoinPath(folder, name.file);
  WriteWhole(path, bytes);
  if (ReadAll(path, "the backup " + path) != bytes) {
    throw BackupError("the backup " + path + " does not read back as " + table);
  }
  Prune(folder, name, keep);
  return path;
}

std::vector<BackupEntry> ListBackups(const std::string& folder) {
  std::vector<BackupEntry> entries;
  std::error_code error;
  if (!std::filesystem::is_directory(U8(folder), error)) return entries;
  std::filesystem::directory_iterator it(U8(folder), error);
  if (error) throw BackupError("cannot list " + folder + ": " + error.message());
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) throw BackupError("cannot list " + folder + ": " + error.message());
    const auto u8 = it->path().filename().u8string();
    auto name = ParseBackupName(std::string(u8.begin(), u8.end()));
    std::error_code ignored;
    if (!name || !it->is_regular_file(ignored)) continue;
    BackupEntry entry;
    entry.path = JoinPath(folder, name->file);
    entry.size = it->file_size(ignored);
    entry.name = std::move(*name);
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const BackupEntry& a, const BackupEntry& b) { return a.name.file > b.name.file; });
  return entries;
}

std::string ShownTime(const std::string& time) {
  if (!IsTime(time)) return time;
  return time.substr(0, 4) + "-" + time.substr(4, 2) + "-" + time.substr(6, 2) + " " +
         time.substr(9, 2) + ":" + time.substr(11, 2) + ":" + time.substr(13, 2);
}

}  // namespace sbrep::cli
