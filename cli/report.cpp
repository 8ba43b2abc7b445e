#include "cli/report.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <variant>

#include "cli/diff.h"
#include "cli/exit_status.h"
#include "cli/shown_text.h"
#include "platform/filesystem.h"
#include "transfer/numbers.h"

namespace sbrep::cli {
namespace {

using Json = nlohmann::ordered_json;

struct FaultText {
  int status;
  const char* text;
  const char* name;  // in JSON
};

FaultText TextOf(Fault fault) {
  switch (fault) {
    case Fault::kInstall:
      return {kExitInstall, "the filing client or a file is missing", "install"};
    case Fault::kExport:
      return {kExitExport, "the export is at fault", "export"};
    case Fault::kTable:
      return {kExitTable, "the table file is at fault", "table"};
    case Fault::kMachine:
      break;
  }
  return {kExitMachine, "the machine is at fault", "machine"};
}

std::string TableName(const Report& report) {
  if (report.prepared) return fs::NameOf(report.prepared->paths.table_path);
  return std::string(report.kind->file_name);
}

bool Succeeded(const Report& report) {
  return report.stop == Stop::kNone && (!report.transfer || report.result == 0);
}

std::string Verdict(const Report& report) {
  const std::string no = report.transfer ? "not transferred: " : "not ready to file: ";
  switch (report.stop) {
    case Stop::kNone:
      if (!report.transfer) return "ready to file: a transfer would save " + TableName(report);
      if (report.result == 0) {
        return "transferred: the " + std::string(report.kind->title) + " is in " +
               TableName(report);
      }
      break;
    case Stop::kWarnings:
      return no + "a warning, and --strict" +
             (report.transfer ? std::string("; nothing was written") : std::string());
    case Stop::kBackup:
      return no + (report.transfer ? "the backup failed; nothing was written"
                                   : "a transfer could not take its backup");
    case Stop::kFailure:
      break;
  }
  return no + TextOf(report.failure.fault).text;
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string Count(double count) { return std::to_string(std::llround(count)); }

void SummariseRows(const Report& report, const RowValues& values, std::ostream& out) {
  std::size_t filled = 0;
  for (const RowValues::Row& row : values.rows) {
    if (!row.first.empty() || !row.second.empty()) ++filled;
  }
  const std::size_t rows = values.rows.size();
  out << report.kind->title << ": " << values.items << " items for " << rows << " rows\n"
      << "  rows with values: " << filled << "\n"
      << "  rows left empty:  " << rows - filled << "\n";
}

// "17, 13, 6 and 4".
std::string RateList(const VatLayout& vat) {
  std::string list;
  for (std::size_t g = 0; g < vat.rates.size(); ++g) {
    if (g > 0) list += g + 1 == vat.rates.size() ? " and " : ", ";
    list += std::to_string(vat.rates[g]);
  }
  return list;
}

void SummariseInvoices(const Report& report, const VatTotals& totals, std::ostream& out) {
  const VatLayout& vat = *report.kind->vat;
  out << report.kind->title << ": " << totals.invoices << " invoices read\n"
      << "  voided:  " << totals.voided << "\n"
      << "  counted: " << totals.counted << "\n"
      << "  ignored: " << totals.ignored << " (a rate outside " << RateList(vat) << ")\n"
      << "  kind 1, counted but on no line: " << totals.kind_one << "\n"
      << "  kind  rate  line" << Padded("count", 10) << Padded("amount", 16) << Padded("tax", 16)
      << "\n";
  for (std::size_t kind = 0; kind < vat.lines.size(); ++kind) {
    for (std::size_t group = 0; group < vat.rates.size(); ++group) {
      const auto& cells = totals.cells[kind];
      const std::size_t c = group * 3;
      const std::size_t line = vat.lines[kind][group / 2];
      out << "  " << Padded(std::to_string(kind), 4)
          << Padded(std::to_string(vat.rates[group]) + "%", 6)
          << Padded(line == 0 ? "-" : std::to_string(line), 6) << Padded(Count(cells[c]), 10)
          << Padded(FormatAmount(cells[c + 1]), 16) << Padded(FormatAmount(cells[c + 2]), 16)
          << "\n";
    }
  }
}

void WriteFailure(const Report& report, std::ostream& err) {
  const Failure& failure = report.failure;
  if (failure.message != Message::kEmpty)
    err << "message: " << ShownMessage(failure.message) << "\n";
  if (!failure.detail.empty()) err << "detail: " << failure.detail << "\n";
  if (!failure.hint.empty()) err << "hint: " << failure.hint << "\n";
}

void WriteCheck(const Report& report, std::ostream& out, std::ostream& err) {
  if (report.prepared) {
    const PreparedTable& p = *report.prepared;
    const std::string diff =
        UnifiedDiff(p.old_lines.lines(), p.new_lines.lines(),
                    {p.paths.table_path, p.paths.table_path + " (after transfer)"}, EscapedLine);
    if (diff.empty()) {
      out << "no change: " << TableName(report) << " already holds these figures\n";
    } else {
      out << diff;
    }
    out << "\n";
    if (const auto* rows = std::get_if<RowValues>(&p.values)) SummariseRows(report, *rows, out);
    if (const auto* totals = std::get_if<VatTotals>(&p.values)) {
      SummariseInvoices(report, *totals, out);
    }
    out << std::flush;
  }
  for (const std::string& warning : report.warnings) err << "warning: " << warning << "\n";
  err << std::flush;
  if (Succeeded(report)) {
    out << "\n" << Verdict(report) << "\n";
    return;
  }
  if (report.prepared) out << "\n" << std::flush;
  err << Verdict(report) << "\n";
  WriteFailure(report, err);
}

void WriteTransfer(const Report& report, std::ostream& out, std::ostream& err) {
  for (const std::string& warning : report.warnings) err << "warning: " << warning << "\n";
  err << std::flush;
  if (!report.backup.empty()) out << "backup: " << report.backup << "\n";
  if (report.result) out << "result: " << *report.result << "\n";
  out << std::flush;
  if (Succeeded(report)) {
    out << Verdict(report) << "\n";
    return;
  }
  err << Verdict(report) << "\n";
  WriteFailure(report, err);
}

Json MessageJson(Message message) {
  if (message == Message::kEmpty) return nullptr;
  const std::string bytes(MessageBytes(message));
  return Json{{"text", Printable(bytes)},
              {"gloss", std::string(MessageGloss(message))},
              {"gbk_hex", HexBytes(bytes)}};
}

Json OrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

// Invalid UTF-8 (a path's own bytes on POSIX) shows as U+FFFD rather than
// failing the whole object.
void Dump(const Json& json, std::ostream& out) {
  out << json.dump(2, ' ', false, Json::error_handler_t::replace) << "\n" << std::flush;
}

Json SummaryJson(const KindEntry& kind, const Values& values) {
  if (const auto* rows = std::get_if<RowValues>(&values)) {
    std::size_t filled = 0;
    for (const RowValues::Row& row : rows->rows) {
      if (!row.first.empty() || !row.second.empty()) ++filled;
    }
    return Json{{"items", rows->items},
                {"rows", rows->rows.size()},
                {"rows_with_values", filled},
                {"rows_left_empty", rows->rows.size() - filled}};
  }
  const VatTotals& totals = std::get<VatTotals>(values);
  const VatLayout& vat = *kind.vat;
  Json cells = Json::array();
  for (std::size_t k = 0; k < vat.lines.size(); ++k) {
    for (std::size_t group = 0; group < vat.rates.size(); ++group) {
      const auto& row = totals.cells[k];
      const std::size_t line = vat.lines[k][group / 2];
      cells.push_back(Json{{"kind", k},
                           {"rate", vat.rates[group]},
                           {"line", line == 0 ? Json(nullptr) : Json(line)},
                           {"count", std::llround(row[group * 3])},
                           {"amount", FormatAmount(row[group * 3 + 1])},
                           {"tax", FormatAmount(row[group * 3 + 2])}});
    }
  }
  return Json{{"invoices", totals.invoices}, {"voided", totals.voided},
              {"counted", totals.counted},   {"ignored", totals.ignored},
              {"kind_one", totals.kind_one}, {"totals", cells}};
}

// Line by line, as the table's lines are addressed: a rebuild or a patch
// keeps every line where it was, and drops old lines past the new end.
Json ChangedLines(const PreparedTable& p) {
  const auto& old_lines = p.old_lines.lines();
  const auto& new_lines = p.new_lines.lines();
  Json changes = Json::array();
  for (std::size_t i = 0; i < std::max(old_lines.size(), new_lines.size()); ++i) {
    const bool has_old = i < old_lines.size();
    const bool has_new = i < new_lines.size();
    if (has_old && has_new && old_lines[i] == new_lines[i]) continue;
    changes.push_back(Json{{"line", i + 1},
                           {"old", has_old ? Json(Printable(old_lines[i])) : Json(nullptr)},
                           {"new", has_new ? Json(Printable(new_lines[i])) : Json(nullptr)}});
  }
  return changes;
}

}  // namespace

int ExitStatusOf(const Report& report) {
  if (report.transfer) return Succeeded(report) ? kExitReady : kExitFailed;
  switch (report.stop) {
    case Stop::kNone:
      return kExitReady;
    case Stop::kWarnings:
      return kExitExport;
    case Stop::kFailure:
    case Stop::kBackup:
      break;
  }
  return TextOf(report.failure.fault).status;
}

void WriteText(const Report& report, bool quiet, std::ostream& out, std::ostream& err) {
  const std::string note = RecoveryNote(report.recovery, TableName(report));
  if (!note.empty()) err << "note: " << note << "\n" << std::flush;
  if (quiet) {
    (Succeeded(report) ? out : err) << Verdict(report) << "\n" << std::flush;
    return;
  }
  if (report.transfer) {
    WriteTransfer(report, out, err);
  } else {
    WriteCheck(report, out, err);
  }
  out << std::flush;
  err << std::flush;
}

void WriteJson(const Report& report, std::ostream& out) {
  const bool failed = report.stop == Stop::kFailure || report.stop == Stop::kBackup;
  const char* fault = nullptr;
  if (report.stop == Stop::kWarnings) fault = "warnings";
  if (report.stop == Stop::kBackup) fault = "backup";
  if (report.stop == Stop::kFailure) fault = TextOf(report.failure.fault).name;
  Json json = {
      {"command", report.transfer ? "transfer" : "check"},
      {"kind", static_cast<int>(report.kind->kind)},
      {"kind_name", std::string(report.kind->cli_name)},
      {"export", report.export_path},
      {"ok", Succeeded(report)},
      {"verdict", Verdict(report)},
      {"exit_status", ExitStatusOf(report)},
      {"fault", fault == nullptr ? Json(nullptr) : Json(fault)},
      {"message", failed ? MessageJson(report.failure.message) : Json(nullptr)},
      {"detail", failed ? OrNull(report.failure.detail) : Json(nullptr)},
      {"hint", failed ? OrNull(report.failure.hint) : Json(nullptr)},
      {"table", report.prepared ? Json(report.prepared->paths.table_path) : Json(nullptr)},
      {"recovery", RecoveryName(report.recovery)},
      {"recovery_note", OrNull(RecoveryNote(report.recovery, TableName(report)))},
  };
  if (report.transfer) {
    json["result"] = report.result ? Json(*report.result) : Json(nullptr);
    json["backup"] = OrNull(report.backup);
  }
  json["warnings"] = report.warnings;
  json["summary"] =
      report.prepared ? SummaryJson(*report.kind, report.prepared->values) : Json(nullptr);
  json["changed_lines"] = report.prepared ? ChangedLines(*report.prepared) : Json(nullptr);
  Dump(json, out);
}

void WriteJsonOutcome(Command command, int exit_status, const std::string& fault,
                      const std::string& detail, std::ostream& out) {
  Dump(Json{{"command", command == Command::kNone ? Json(nullptr) : Json(CommandName(command))},
            {"ok", false},
            {"verdict", fault == "usage" ? "a usage error" : "the machine is at fault"},
            {"exit_status", exit_status},
            {"fault", fault},
            {"detail", detail}},
       out);
}

void WriteJsonHelp(const std::string& text, std::ostream& out) { Dump(Json{{"help", text}}, out); }

}  // namespace sbrep::cli
