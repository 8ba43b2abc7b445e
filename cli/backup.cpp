#include "cli/backup.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string_view>
#include <system_error>
#include <tuple>

#include "cli/paths.h"
#include "cli/places.h"
#include "cli/shown_text.h"
#include "core/error.h"
#include "core/sha256.h"
#include "install/filing_client.h"
#include "platform/filesystem.h"
#include "table_file/table_lines.h"
#include "transfer/table_kinds.h"

namespace sbrep::cli {
namespace {

using Json = nlohmann::json;

constexpr char kSuffix[] = ".dat";
constexpr char kSidecarSuffix[] = ".json";
// A table file is a few kilobytes; this only bounds a damaged one.
constexpr std::uint64_t kReadLimit = 1u << 30;
// A sidecar is a few hundred bytes.
constexpr std::uint64_t kSidecarLimit = 64u << 10;
// The install folder's part of a name, in bytes.
constexpr std::size_t kLabelBytes = 40;
// The id's part of a name.
constexpr std::size_t kIdChars = 8;
// Digits of the sequence in a name, at least.
constexpr int kSequenceDigits = 6;
// Names tried past the newest when other transfers take them first.
constexpr int kNameAttempts = 1000;
constexpr int kSidecarFormat = 1;

std::filesystem::path U8(const std::string& utf8) { return std::filesystem::u8path(utf8); }

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

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
    // Keep the end, which tells installs apart; cut on a character's first byte.
    std::size_t cut = label.size() - kLabelBytes;
    while (cut < label.size() && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80) ++cut;
    label.erase(0, cut);
  }
  return label.empty() ? "install" : label;
}

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsHex(std::string_view text, std::size_t count) {
  return text.size() == count && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::string ReadAll(const std::string& path, const std::string& what, std::uint64_t limit) {
  fs::File file;
  std::string bytes;
  fs::Outcome outcome = file.Open(path, fs::OpenMode::kRead);
  if (outcome.ok()) outcome = file.ReadAll(&bytes, limit);
  if (!outcome.ok()) throw BackupError("cannot read " + what + ": " + fs::Describe(outcome));
  return bytes;
}

fs::Outcome WriteFile(const std::string& path, fs::OpenMode mode, const std::string& bytes) {
  fs::File file;
  fs::Outcome outcome = file.Open(path, mode);
  if (outcome.ok()) outcome = file.WriteAll(bytes);
  if (outcome.ok()) outcome = fs::FileSystem().flush(file.handle());
  const fs::Outcome closed = file.Close();
  return outcome.ok() ? closed : outcome;
}

std::string SidecarText(const BackupEntry& entry) {
  const BackupFacts& facts = entry.facts;
  const Json json = {
      {"format", kSidecarFormat}, {"file", entry.name.file},        {"table", facts.table},
      {"install", facts.install}, {"install_id", facts.install_id}, {"sequence", facts.sequence},
      {"size", facts.size},       {"sha256", facts.sha256},         {"taken", facts.taken},
      {"tool", facts.tool},
  };
  // A folder name that is not UTF-8 is shown with replacement characters;
  // the id holds its bytes.
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The facts of a sidecar that names `name`; throws NotABackup.
BackupFacts ReadSidecar(const std::string& text, const BackupName& name) {
  const Json json = Json::parse(text, nullptr, false);
  const auto text_of = [&](const char* key) -> std::string {
    if (!json.contains(key) || !json[key].is_string()) {
      throw NotABackup("its sidecar has no " + std::string(key));
    }
    return json[key].get<std::string>();
  };
  const auto number_of = [&](const char* key) -> std::uint64_t {
    if (!json.contains(key) || !json[key].is_number_unsigned()) {
      throw NotABackup("its sidecar has no " + std::string(key));
    }
    return json[key].get<std::uint64_t>();
  };
  if (!json.is_object()) throw NotABackup("its sidecar is not a JSON object");
  if (number_of("format") != kSidecarFormat) throw NotABackup("its sidecar is of another format");
  if (text_of("file") != name.file) throw NotABackup("its sidecar is another file's");
  BackupFacts facts;
  facts.table = text_of("table");
  facts.install = text_of("install");
  facts.install_id = text_of("install_id");
  facts.sequence = number_of("sequence");
  facts.size = number_of("size");
  facts.sha256 = text_of("sha256");
  facts.taken = text_of("taken");
  facts.tool = text_of("tool");
  if (facts.table != name.table || facts.sequence != name.sequence ||
      !IsHex(facts.install_id, 64) || facts.install_id.compare(0, kIdChars, name.id) != 0 ||
      !IsHex(facts.sha256, 64)) {
    throw NotABackup("its sidecar does not match its name");
  }
  return facts;
}

bool SameGroup(const BackupEntry& entry, const std::string& install_id, const std::string& table) {
  return entry.facts.install_id == install_id && entry.facts.table == table;
}

// Removes all but the newest kBackupsKept backups of one table of one
// install, never those in `keep`. Only files whose sidecar proves they are
// the tool's go. A backup that will not go stays; the next one tries again.
void Prune(const std::string& folder, const std::string& install_id, const std::string& table,
           const std::vector<std::string>& keep) {
  std::size_t seen = 0;
  for (const BackupEntry& entry : ListBackups(folder)) {
    if (!SameGroup(entry, install_id, table)) continue;
    if (++seen <= kBackupsKept) continue;
    if (std::find(keep.begin(), keep.end(), entry.name.file) != keep.end()) continue;
    // The bytes first: a sidecar left alone is no backup.
    if (fs::FileSystem().remove(entry.path).ok()) fs::FileSystem().remove(SidecarOf(entry.path));
  }
}

}  // namespace

bool IsLink(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_symlink(std::filesystem::symlink_status(U8(path), error));
}

InstallIdentity IdentifyInstall(const std::string& install_folder) {
  const auto resolved = ResolvedFolder(install_folder);
  if (!resolved) throw BackupError("cannot open the install folder " + install_folder);
  return {*resolved, HexOf(Sha256Of(*resolved))};
}

BackupName NameBackup(const std::string& table, const InstallIdentity& install,
                      std::uint64_t sequence) {
  BackupName name;
  name.table = table;
  name.install = Label(install.folder);
  name.id = install.id.substr(0, kIdChars);
  name.sequence = sequence;
  std::string number = std::to_string(sequence);
  if (number.size() < kSequenceDigits) number.insert(0, kSequenceDigits - number.size(), '0');
  const std::string stem =
      EndsWith(table, kSuffix) ? table.substr(0, table.size() - (sizeof kSuffix - 1)) : table;
  name.file = stem + "_" + name.install + "_" + name.id + "_" + number + kSuffix;
  return name;
}

std::optional<BackupName> ParseBackupName(const std::string& file) {
  if (!EndsWith(file, kSuffix)) return std::nullopt;
  const std::string stem = file.substr(0, file.size() - (sizeof kSuffix - 1));
  const auto first = stem.find('_');
  const auto last = stem.rfind('_');
  const auto id = last == std::string::npos || last == 0 ? last : stem.rfind('_', last - 1);
  if (first == std::string::npos || id == std::string::npos || id <= first) return std::nullopt;
  BackupName name;
  name.table = stem.substr(0, first) + kSuffix;
  name.install = stem.substr(first + 1, id - first - 1);
  name.id = stem.substr(id + 1, last - id - 1);
  const std::string number = stem.substr(last + 1);
  name.file = file;
  if (first == 0 || name.install.empty() || !IsHex(name.id, kIdChars) || !IsDigits(number) ||
      number.size() < kSequenceDigits || number.size() > 19) {
    return std::nullopt;
  }
  name.sequence = std::stoull(number);
  return name;
}

std::string SidecarOf(const std::string& backup_path) {
  const std::string stem = EndsWith(backup_path, kSuffix)
                               ? backup_path.substr(0, backup_path.size() - (sizeof kSuffix - 1))
                               : backup_path;
  return stem + kSidecarSuffix;
}

CheckedBackup ReadCheckedBackup(const std::string& path) {
  const std::string file = fs::NameOf(path);
  const auto name = ParseBackupName(file);
  const std::string sidecar = SidecarOf(path);
  if (IsLink(path)) throw NotABackup("it is a symbolic link, which is never followed");
  if (!fs::IsFile(sidecar) && !IsLink(sidecar)) {
    throw NoSidecar("it has no sidecar " + fs::NameOf(sidecar));
  }
  if (!name) throw NotABackup("its name is no backup's");
  if (IsLink(sidecar)) throw NotABackup("its sidecar is a symbolic link, which is never followed");
  CheckedBackup checked;
  checked.entry.name = *name;
  checked.entry.path = path;
  checked.entry.facts =
      ReadSidecar(ReadAll(sidecar, "the sidecar " + sidecar, kSidecarLimit), *name);
  checked.bytes = ReadAll(path, "the backup " + path, kReadLimit);
  const BackupFacts& facts = checked.entry.facts;
  if (checked.bytes.size() != facts.size) {
    throw NotABackup("it holds " + std::to_string(checked.bytes.size()) + " bytes, its sidecar " +
                     std::to_string(facts.size));
  }
  if (HexOf(Sha256Of(checked.bytes)) != facts.sha256) {
    throw NotABackup("its bytes are not those its sidecar's SHA-256 names");
  }
  return checked;
}

std::string InstallFolderOf(const std::string& table_path) {
  return InstallOfTable(table_path).value_or(fs::FolderOf(table_path));
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
  const std::string bytes = ReadAll(table_path, table, kReadLimit);
  const InstallIdentity install = IdentifyInstall(InstallFolderOf(table_path));

  BackupEntry entry;
  entry.facts = {install.folder, install.id,
                 table,          0,
                 bytes.size(),   HexOf(Sha256Of(bytes)),
                 UtcTimeStamp(), "sbrep " SBREP_VERSION};
  // The newest is the highest number, whatever the clock said.
  const BackupEntry* newest = nullptr;
  const std::vector<BackupEntry> entries = ListBackups(folder);
  for (const BackupEntry& other : entries) {
    if (SameGroup(other, install.id, table) &&
        (newest == nullptr || other.facts.sequence > newest->facts.sequence)) {
      newest = &other;
    }
  }
  if (newest != nullptr && newest->facts.sha256 == entry.facts.sha256 &&
      newest->facts.size == entry.facts.size) {
    return newest->path;
  }

  fs::Ops& ops = fs::FileSystem();
  const std::uint64_t first = newest == nullptr ? 1 : newest->facts.sequence + 1;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    entry.facts.sequence = first + static_cast<std::uint64_t>(attempt);
    entry.name = NameBackup(table, install, entry.facts.sequence);
    entry.path = JoinPath(folder, entry.name.file);
    // Created only if new: two transfers at once never share a name. The
    // bytes go first; the sidecar, written whole under a temporary name and
    // then given its own, makes them a backup.
    fs::Outcome outcome = WriteFile(entry.path, fs::OpenMode::kCreateNew, bytes);
    if (outcome.status == fs::Status::kExists) continue;
    const std::string sidecar = SidecarOf(entry.path);
    const std::string temp = fs::FolderOf(sidecar) + "~" + fs::NameOf(sidecar) + ".partial";
    if (outcome.ok())
      outcome = WriteFile(temp, fs::OpenMode::kCreateOrTruncate, SidecarText(entry));
    if (outcome.ok()) outcome = ops.replace(temp, sidecar);
    if (!outcome.ok()) {
      ops.remove(temp);
      ops.remove(entry.path);
      throw BackupError("cannot write the backup " + entry.path + ": " + fs::Describe(outcome));
    }
    ops.sync_folder(folder);
    try {
      if (ReadCheckedBackup(entry.path).bytes != bytes) throw NotABackup("its bytes differ");
    } catch (const BackupError& e) {
      throw BackupError("the backup " + entry.path + " does not read back as " + table + ": " +
                        e.what());
    }
    Prune(folder, install.id, table, {entry.name.file, keep});
    return entry.path;
  }
  throw BackupError("no free backup name in " + folder + " after " + std::to_string(kNameAttempts) +
                    " tries");
}

std::vector<BackupEntry> ListBackups(const std::string& folder, std::vector<OtherFile>* others) {
  std::vector<BackupEntry> entries;
  std::error_code error;
  if (!std::filesystem::is_directory(U8(folder), error)) return entries;
  std::filesystem::directory_iterator it(U8(folder), error);
  if (error) throw BackupError("cannot list " + folder + ": " + error.message());
  std::vector<std::string> files;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) throw BackupError("cannot list " + folder + ": " + error.message());
    const auto u8 = it->path().filename().u8string();
    files.emplace_back(u8.begin(), u8.end());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> sidecars;
  for (const std::string& file : files) {
    if (EndsWith(file, kSidecarSuffix)) continue;
    const std::string path = JoinPath(folder, file);
    try {
      CheckedBackup checked = ReadCheckedBackup(path);
      sidecars.push_back(fs::NameOf(SidecarOf(path)));
      entries.push_back(std::move(checked.entry));
    } catch (const BackupError& e) {
      if (others != nullptr) others->push_back({file, e.what()});
    }
  }
  if (others != nullptr) {
    for (const std::string& file : files) {
      if (EndsWith(file, kSidecarSuffix) &&
          std::find(sidecars.begin(), sidecars.end(), file) == sidecars.end()) {
        others->push_back({file, "a sidecar without its backup, or of one that does not match it"});
      }
    }
  }
  std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
    return std::tie(a.facts.install, a.facts.install_id, a.facts.table, b.facts.sequence) <
           std::tie(b.facts.install, b.facts.install_id, b.facts.table, a.facts.sequence);
  });
  return entries;
}

std::string TableNamedBy(const std::string& bytes) {
  const std::string first = bytes.substr(0, bytes.find_first_of("\r\n"));
  if (first.size() < 3 || first.front() != '[' || first.back() != ']') return {};
  const std::string stem = first.substr(1, first.size() - 2);
  const bool plain = std::all_of(stem.begin(), stem.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
  return plain ? stem + kSuffix : std::string();
}

std::optional<std::string> NotTableContent(const std::string& bytes, const std::string& table) {
  if (bytes.empty()) return std::string("it is empty");
  if (table.empty() || TableNamedBy(bytes) != table) {
    const std::string first =
        bytes.substr(0, std::min<std::size_t>(bytes.find_first_of("\r\n"), 40));
    return "its first line is '" + Printable(first) + "', " +
           (table.empty() ? std::string("which names no table")
                          : "not the [" + table.substr(0, table.size() - (sizeof kSuffix - 1)) +
                                "] of " + table);
  }
  const KindEntry* kind = FindTableFile(table);
  if (kind == nullptr) return table + " is no table the tool files";
  try {
    CheckLinesFit(*kind, SplitTableLines(bytes));
  } catch (const Error& e) {
    return e.detail();
  }
  return std::nullopt;
}

}  // namespace sbrep::cli
