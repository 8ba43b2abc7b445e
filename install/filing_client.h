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

struct OpeningPaths {
  std::string table_path;  // UTF-8
  std::string xml_path;    // UTF-8
};

// Runs the four checks in order (registry, install folder, the table file
// `table_file` below Dexlan\ICDAT, the export) and throws an Error
// (Fault::kInstall) with the message of the first that fails;
// `missing_table` is the message of a missing table file. `client_folder`,
// when given, stands in for the registry.
OpeningPaths RunOpeningSequence(std::string_view table_file, Message missing_table,
                                const std::string& xml_path,
                                const std::optional<std::string>& client_folder = std::nullopt);

}  // namespace sbrep
