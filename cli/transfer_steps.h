// What check and transfer both run around the library's stages, so that a
// check is ready only where a transfer would be done: the path a host could
// pass, a failure as the report shows it, and what the save would meet.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/report.h"
#include "core/error.h"
#include "transfer/transfer.h"

namespace sbrep::cli {

// A host hands the path over in the ANSI code page; a path that code page
// cannot hold never reaches the DLL as it is, so the export is not found.
Failure HostCannotPass(const std::string& xml_path);

// A stage's failure as the report shows it, with the kind an export of
// another kind looks like.
Failure FailureOf(const Error& e, const KindEntry& kind, const std::string& xml_path);

// What the stages made ready, without the table's lock, which stays with
// whoever holds the preparation.
PreparedTable PreparedPart(const Preparation& preparation);

// The warnings of a prepared transfer, and one for a folder that takes no
// new file: the save then rewrites the table in place with one write.
std::vector<std::string> WarningsOf(const PreparedTable& prepared);

// What the save would meet: the table, then the backup folder. Puts the
// first refusal in the report and says whether there was one.
bool SaveWouldFail(const Arguments& args, const std::string& table_path, Report* report);

// Prints the report as the options ask and gives its exit status.
int Finish(const Report& report, const Arguments& args, Console& console);

}  // namespace sbrep::cli
