#include "cli/transfer_steps.h"

#include <exception>
#include <string_view>

#include "cli/backup.h"
#include "cli/paths.h"
#include "cli/probes.h"
#include "cli/refusal.h"
#include "cli/warnings.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "table_file/save.h"
#include "transfer/table_kinds.h"

namespace sbrep::cli {
namespace {

// A failure at the root or the section: the export may be of another kind.
bool WrongShape(const Error& e) {
  if (e.fault() != Fault::kExport) return false;
  switch (e.cause()) {
    case Cause::kWrongRoot:
    case Cause::kMissingSection:
      return true;
    default:
      return false;
  }
}

// "this looks like an income statement export: use KIND 2", when another
// kind's reader gets past the root and the section.
std::string KindHint(const KindEntry& tried, const std::string& xml_path) {
  for (const KindEntry& other : kTableKinds) {
    if (&other == &tried) continue;
    try {
      other.read(other, xml_path, {});
    } catch (const Error& e) {
      if (e.fault() != Fault::kExport || WrongShape(e)) continue;
    } catch (const std::exception&) {
      continue;
    }
    const std::string title(other.title);
    const bool vowel = std::string_view("aeiou").find(title[0]) != std::string_view::npos;
    return std::string("this looks like ") + (vowel ? "an " : "a ") + title + " export: use KIND " +
           std::to_string(static_cast<int>(other.kind)) + " (" + std::string(other.cli_name) + ")";
  }
  return {};
}

}  // namespace

Failure HostCannotPass(const std::string& xml_path) {
  return Failure{Message::kExportMissing, Fault::kInstall,
                 "the ANSI code page cannot hold the export's path '" + xml_path +
                     "', so a host could not pass it: rename the file or its folder",
                 ""};
}

Failure FailureOf(const Error& e, const KindEntry& kind, const std::string& xml_path) {
  Failure failure{e.message(), e.fault(), e.detail(), ""};
  if (WrongShape(e)) failure.hint = KindHint(kind, xml_path);
  return failure;
}

PreparedTable PreparedPart(const Preparation& preparation) {
  const PreparedTable& prepared = preparation;
  return prepared;
}

std::vector<std::string> WarningsOf(const PreparedTable& prepared) {
  std::vector<std::string> warnings = Warnings(prepared);
  const std::string& table_path = prepared.paths.table_path;
  // A crash during that one write would tear the table.
  if (!FolderTakesNewFiles(table_path)) {
    const std::string name = fs::NameOf(LocateTable(table_path).path);
    warnings.push_back("the folder of " + name +
                       " takes no new file, so the save rewrites it in place with one write and "
                       "no journal: a crash during that write would leave it torn");
  }
  return warnings;
}

bool SaveWouldFail(const Arguments& args, const std::string& table_path, Report* report) {
  try {
    ProbeWritable(table_path);
  } catch (const Refusal& refusal) {
    report->stop = Stop::kFailure;
    report->failure = {Message::kProcessingFailed, Fault::kTable, refusal.detail(), ""};
    return true;
  }
  std::string why;
  try {
    ProbeBackupFolder(BackupFolder(args));
    return false;
  } catch (const BackupError& e) {
    why = e.what();
  } catch (const Refusal& refusal) {
    why = refusal.detail();
  }
  report->stop = Stop::kBackup;
  report->failure = {Message::kEmpty, Fault::kMachine, why, ""};
  return true;
}

int Finish(const Report& report, const Arguments& args, Console& console) {
  if (args.json) {
    WriteJson(report, console.out);
  } else {
    WriteText(report, args.quiet, console.out, console.err);
  }
  return ExitStatusOf(report);
}

}  // namespace sbrep::cli
