#include "install/filing_client.h"

#include "core/error.h"
#include "platform/filesystem.h"
#include "platform/registry.h"

namespace sbrep {
namespace {

constexpr const char kClientKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexlan.exe";
// The tables' folder below the install, '?' where a separator stands.
constexpr std::string_view kTableFolder = "?Dexlan?ICDAT?";

[[noreturn]] void Fail(Message message, const std::string& detail) {
  throw Error(message, Fault::kInstall, detail);
}

// Why a path the check wants as a file is none: "does not exist" would send
// a person looking for a file that is right there as a folder.
std::string NoFile(const std::string& what, const std::string& path) {
  return what + " '" + path +
         (fs::IsFolder(path) ? "' is a folder, not a file" : "' does not exist");
}

}  // namespace

std::string ReadFilingClientPath() {
  auto value = registry::ReadMachineString(kClientKey, "Path");
  if (!value) return {};
  // App Paths values are often quoted. A folder name cannot hold '"', so a
  // value in one pair of quotes can only mean the folder inside them.
  if (value->size() >= 2 && value->front() == '"' && value->back() == '"') {
    *value = value->substr(1, value->size() - 2);
  }
  if (registry::IsBlank(*value)) return {};
  return *value;
}

std::string TablePath(const std::string& install_folder, std::string_view table_file) {
  std::string path = install_folder;
  for (const char c : kTableFolder) path += c == '?' ? '\\' : c;
  return path += table_file;
}

std::optional<std::string> InstallOfTable(const std::string& table_path) {
  const auto matches = [&](std::size_t at) {
    for (std::size_t i = 0; i < kTableFolder.size(); ++i) {
      const char c = table_path[at + i];
      if (kTableFolder[i] == '?' ? c != '\\' && c != '/' : c != kTableFolder[i]) return false;
    }
    return true;
  };
  for (std::size_t at = table_path.size(); at-- > 0;) {
    if (at + kTableFolder.size() <= table_path.size() && matches(at)) {
      return table_path.substr(0, at);
    }
  }
  return std::nullopt;
}

std::string FindTable(std::string_view table_file, Message missing_table,
                      const std::optional<std::string>& client_folder) {
  const std::string client = client_folder ? *client_folder : ReadFilingClientPath();
  if (registry::IsBlank(client)) {
    Fail(Message::kNotInstalled, "no install folder is registered under HKEY_LOCAL_MACHINE\\" +
                                     std::string(kClientKey) + " (value Path)");
  }
  if (!fs::IsFolder(client)) {
    Fail(Message::kInstallFolderMissing,
         "the install folder '" + client +
             (fs::IsFile(client) ? "' is a file, not a folder" : "' does not exist"));
  }
  std::string table_path = TablePath(client, table_file);
  if (!fs::IsFile(table_path)) Fail(missing_table, NoFile("the table file", table_path));
  return table_path;
}

OpeningPaths RunOpeningSequence(std::string_view table_file, Message missing_table,
                                const std::string& xml_path,
                                const std::optional<std::string>& client_folder) {
  OpeningPaths paths;
  paths.table_path = FindTable(table_file, missing_table, client_folder);
  if (!fs::IsFile(xml_path)) {
    Fail(Message::kExportMissing, NoFile("the export", xml_path));
  }
  paths.xml_path = xml_path;
  return paths;
}

}  // namespace sbrep
