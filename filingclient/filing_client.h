// Where the filing client is installed, and the checks every writer runs
// before it opens any file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "export/messages.h"

namespace sbrep {

enum class TableKind { kBalanceSheet = 1, kIncomeStatement = 2, kVatScheduleOne = 3 };

// "TABLE08.dat", "TABLE09.dat" or "TABLE02.dat".
std::string_view TableFileName(TableKind kind);
// The message for a missing table file of this kind.
Message MissingTableMessage(TableKind kind);

// The registered install folder exactly as stored, or empty text when nothing
// usable is registered. Never fails.
std::string ReadFilingClientPath();

struct OpeningPaths {
  std::string table_path;  // UTF-8
  std::string xml_path;    // UTF-8
};

// Runs the four checks in order and throws an Error (Fault::kInstall) with
// the message of the first that fails. `client_folder`, when given, stands in
// for the registry.
OpeningPaths RunOpeningSequence(TableKind kind, const std::string& xml_path,
                                const std::optional<std::string>& client_folder = std::nullopt);

}  // namespace sbrep
