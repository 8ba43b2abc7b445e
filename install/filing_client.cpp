#include "install/filing_client.h"

#include "core/error.h"
#include "platform/filesystem.h"
#include "platform/registry.h"

namespace sbrep {
namespace {

constexpr const char kClientKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexlan.exe";

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

OpeningPaths RunOpeningSequence(std::string_view table_file, Message missing_table,
                                const std::string& xml_path,
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
  OpeningPaths paths;
  paths.table_path = client + "\\Dexlan\\ICDAT\\" + std::string(table_file);
  if (!fs::IsFile(paths.table_path)) {
    Fail(missing_table, NoFile("the table file", paths.table_path));
  }
  if (!fs::IsFile(xml_path)) {
    Fail(Message::kExportMissing, NoFile("the export", xml_path));
  }
  paths.xml_path = xml_path;
  return paths;
}

}  // namespace sbrep
