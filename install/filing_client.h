// Where the filing client is installed, and the checks every transfer runs
// before it opens any file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/messages.h"

namespace sbrep {

// The registered install folder as stored, less one pair of double quotes
// around the whole value, or empty text when nothing usable is registered.
// Never fails.
std::string ReadFilingClientPath();

// The table file `table_file` ("TABLE08.dat") of the install in
// `install_folder`: install_folder\Dexlan\ICDAT\table_file.
std::string TablePath(const std::string& install_folder, std::string_view table_file);

// The install folder of a table path, the part before its last
// \Dexlan\ICDAT\ (either separator); nothing when it has none.
std::optional<std::string> InstallOfTable(const std::string& table_path);

// The opening checks up to the table file: registry, install folder, the
// table file `table_file`. Gives the table's path, or throws the Error
// (Fault::kInstall) of the first that fails; `missing_table` is the message
// of a missing table file. `client_folder`, when given, stands in for the
// registry.
std::string FindTable(std::string_view table_file, Message missing_table,
                      const std::optional<std::string>& client_folder);

struct OpeningPaths {
  std::string table_path;  // UTF-8
  std::string xml_path;    // UTF-8
};

// Runs the four checks in order: FindTable's three, then the export.
OpeningPaths RunOpeningSequence(std::string_view table_file, Message missing_table,
                                const std::string& xml_path,
                                const std::optional<std::string>& client_folder = std::nullopt);

}  // namespace sbrep
