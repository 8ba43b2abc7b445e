#include "cli/sbrep_cli.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <optional>
#include <variant>
#include <vector>

#include "cli/diff.h"
#include "core/error.h"
#include "core/messages.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "table_file/save.h"
#include "transfer/numbers.h"
#include "transfer/table_kinds.h"
#include "transfer/transfer.h"

namespace sbrep::cli {
namespace {

// "1, 2, 3, balance-sheet, income-statement or vat-schedule-one".
std::string KindHelp() {
  std::vector<std::string> names;
  names.reserve(2 * kTableKinds.size());
  for (const KindEntry& entry : kTableKinds) {
    names.push_back(std::to_string(static_cast<int>(entry.kind)));
  }
  for (const KindEntry& entry : kTableKinds) names.emplace_back(entry.cli_name);
  std::string help;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) help += i + 1 == names.size() ? " or " : ", ";
    help += names[i];
  }
  return help;
}

// A kind by its number or its name.
const KindEntry* ParseKind(const std::string& text) {
  for (const KindEntry& entry : kTableKinds) {
    if (text == std::to_string(static_cast<int>(entry.kind)) || text == entry.cli_name) {
      return &entry;
    }
  }
  return nullptr;
}

// GBK bytes as UTF-8; bytes that are not GBK show as \xNN.
std::string Printable(const std::string& gbk) {
  if (auto utf8 = GbkToUtf8(gbk)) return std::move(*utf8);
  std::string shown;
  for (unsigned char c : gbk) {
    if (c < 0x80) {
      shown += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    }
  }
  return shown;
}

// The message a host would get, with its gloss.
std::string ShownMessage(Message message) {
  return Printable(std::string(MessageBytes(message))) + " (" + std::string(MessageGloss(message)) +
         ")";
}

struct FaultReport {
  int status;
  const char* text;
};

FaultReport ReportOf(Fault fault) {
  switch (fault) {
    case Fault::kInstall:
      return {kExitInstall, "the filing client or a file is missing"};
    case Fault::kExport:
      return {kExitExport, "the export is at fault"};
    case Fault::kTable:
      return {kExitTable, "the table file is at fault"};
    case Fault::kMachine:
      return {kExitMachine, "the machine is at fault"};
  }
  return {kExitMachine, "the machine is at fault"};
}

int ReportFailure(Message message, Fault fault, const std::string& detail, std::ostream& out) {
  const FaultReport report = ReportOf(fault);
  out << "not ready to file: " << report.text << "\n"
      << "message: " << ShownMessage(message) << "\n"
      << "detail: " << detail << "\n";
  return report.status;
}

std::string Rows(std::size_t first, std::size_t last) {
  if (first == last) return "row " + std::to_string(first);
  return "rows " + std::to_string(first) + " to " + std::to_string(last);
}

void SummariseRows(const KindEntry& kind, const RowValues& values, std::ostream& out) {
  std::size_t filled = 0;
  for (const RowValues::Row& row : values.rows) {
    if (!row.first.empty() || !row.second.empty()) ++filled;
  }
  const std::size_t rows = values.rows.size();
  out << kind.title << ": " << values.items << " items for " << rows << " rows\n"
      << "  rows with values: " << filled << "\n"
      << "  rows left empty:  " << rows - filled << "\n";
  if (values.items < rows) {
    out << "warning: the export has fewer items than the table has rows; "
        << Rows(values.items + 1, rows) << " get no item\n";
  }
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

void SummariseInvoices(const KindEntry& kind, const VatTotals& totals, std::ostream& out) {
  out << kind.title << ": " << totals.invoices << " invoices read\n"
      << "  voided:  " << totals.voided << "\n"
      << "  counted: " << totals.counted << "\n"
      << "  ignored: " << totals.ignored << " (a rate outside 17, 13, 6 and 4)\n"
      << "  kind 1, counted but on no line: " << totals.kind_one << "\n"
      << "  kind  rate  line" << Padded("count", 10) << Padded("amount", 16) << Padded("tax", 16)
      << "\n";
  static constexpr int kRates[] = {17, 13, 6, 4};
  // The file lines that carry kinds 0 and 2: 17 and 13 % on lines 3 and 5,
  // 6 and 4 % on lines 10 and 12.
  static constexpr const char* kLines[3][2] = {{"3", "10"}, {"-", "-"}, {"5", "12"}};
  for (int kind = 0; kind < 3; ++kind) {
    for (int group = 0; group < 4; ++group) {
      const auto& cells = totals.cells[static_cast<std::size_t>(kind)];
      const std::size_t c = static_cast<std::size_t>(group) * 3;
      out << "  " << Padded(std::to_string(kind), 4)
          << Padded(std::to_string(kRates[group]) + "%", 6) << Padded(kLines[kind][group / 2], 6)
          << Padded(FormatAmount(cells[c]), 10) << Padded(FormatAmount(cells[c + 1]), 16)
          << Padded(FormatAmount(cells[c + 2]), 16) << "\n";
    }
  }
}

// Opens the table file for writing, sharing it as the client does, and
// closes it again: no byte changes. The save would refuse a read-only file.
std::optional<std::string> ProbeWritable(const std::string& path) {
  const std::string name = fs::NameOf(path);
  const SaveCheck check = CheckSavable(path);
  switch (check.refusal) {
    case SaveRefusal::kNone:
      break;
    case SaveRefusal::kUnchecked:
      return "cannot check " + name + ": " + fs::Describe(check.outcome);
    case SaveRefusal::kFolder:
      return name + " is a folder, a transfer could not save it";
    case SaveRefusal::kReadOnly:
      return name + " is read-only, a transfer could not save it";
  }
  fs::File file;
  const fs::Outcome opened = file.Open(path, fs::OpenMode::kReadWrite);
  if (!opened.ok()) {
    return "cannot open " + name + " for writing: " + fs::Describe(opened) +
           ", a transfer could not save it";
  }
  const fs::Outcome closed = file.Close();
  if (!closed.ok()) return "cannot close " + name + ": " + fs::Describe(closed);
  return std::nullopt;
}

// Prints the summary of the values the XML stage read.
struct Summary {
  const KindEntry& kind;
  std::ostream& out;
  void operator()(const RowValues& values) const { SummariseRows(kind, values, out); }
  void operator()(const VatTotals& totals) const { SummariseInvoices(kind, totals, out); }
};

int Check(const KindEntry& kind, const std::string& xml_path,
          const std::optional<std::string>& client_folder, std::ostream& out) {
  Preparation p;
  try {
    p = PrepareTable(kind, xml_path, client_folder);
  } catch (const Error& e) {
    return ReportFailure(e.message(), e.fault(), e.detail(), out);
  } catch (const std::exception& e) {
    return ReportFailure(Message::kProcessingFailed, Fault::kMachine, e.what(), out);
  }
  const std::string name = fs::NameOf(p.paths.table_path);
  const std::string diff =
      UnifiedDiff(p.old_lines.lines(), p.new_lines.lines(),
                  {p.paths.table_path, p.paths.table_path + " (after transfer)"}, Printable);
  if (diff.empty()) {
    out << "no change: " << name << " already holds these figures\n";
  } else {
    out << diff;
  }
  out << "\n";
  std::visit(Summary{kind, out}, p.values);
  if (auto failure = ProbeWritable(p.paths.table_path)) {
    out << "\n";
    return ReportFailure(Message::kProcessingFailed, Fault::kTable, *failure, out);
  }
  if (!Utf8ToAnsi(xml_path)) {
    out << "warning: the ANSI code page cannot hold this export's path, so a host could not pass "
           "it\n";
  }
  out << "\nready to file: a transfer would save " << name << "\n";
  return kExitReady;
}

int Transfer(const KindEntry& kind, const std::string& xml_path, std::ostream& out,
             std::ostream& err) {
  const auto host_path = Utf8ToAnsi(xml_path);
  if (!host_path) {
    err << "sbrep: the ANSI code page cannot hold the path '" << xml_path
        << "', so a host could not pass it either\n";
    return kExitFailed;
  }
  const TransferOutcome outcome = TransferTable(kind, host_path->c_str());
  out << "result: " << outcome.result << "\n";
  if (outcome.result == 0) {
    out << "transferred: the " << kind.title << " is in " << kind.file_name << "\n";
    return kExitReady;
  }
  // What SetSBRepData copies into the caller's buffer.
  out << "message: " << ShownMessage(outcome.message) << "\n";
  if (outcome.error) out << "detail: " << outcome.error->detail() << "\n";
  return kExitFailed;
}

// CLI11 texts may run over lines; a usage error gets one.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App app{"sbrep " SBREP_VERSION
               ": checks an accounting XML export against the filing client's table file,\n"
               "or transfers it as SetSBRepData does.\n"
               "  sbrep check KIND EXPORT.xml [--client DIR]\n"
               "  sbrep transfer KIND EXPORT.xml\n",
               "sbrep"};
  app.set_version_flag("--version", "sbrep " SBREP_VERSION);
  app.require_subcommand(1);
  const std::string kind_help = KindHelp();
  app.footer("KIND is " + kind_help +
             ".\n\n"
             "Exit status: check gives 0 ready to file, 2 the install or a file is missing,\n"
             "3 the export is at fault, 4 the table file is at fault, 5 the machine;\n"
             "transfer gives 0 or 1; a usage error gives 64.\n\n"
             "Examples:\n"
             "  sbrep check balance-sheet export.xml\n"
             "  sbrep check 3 invoices.xml --client C:\\Dexlan-test\n"
             "  sbrep transfer vat-schedule-one invoices.xml");

  const CLI::Validator kind_check(
      [&kind_help](std::string& text) {
        return ParseKind(text) ? std::string() : "must be " + kind_help + ", not '" + text + "'";
      },
      "");

  std::string kind_text;
  std::string xml_path;
  std::string client_folder;
  // Both commands take the same two positionals.
  const auto add_command = [&](const char* name, const char* description) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("KIND", kind_text, "The table: " + kind_help)
        ->required()
        ->check(kind_check)
        ->type_name("");
    command->add_option("EXPORT", xml_path, "The XML export file")->required()->type_name("");
    return command;
  };
  CLI::App* check = add_command(
      "check", "Run everything but the save: show the diff of the table file and a summary.");
  CLI::Option* client =
      check->add_option("--client", client_folder,
                        "Take DIR as the filing client's install folder instead of the registry");
  client->type_name("DIR");
  add_command("transfer",
              "Do exactly what a host's call of SetSBRepData does, and print the outcome.");

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {  // --help or --version
      app.exit(e, out, err);
      return kExitReady;
    }
    err << "sbrep: " << OneLine(e.what()) << "; sbrep --help shows the usage\n";
    return kExitUsage;
  }

  const KindEntry& kind = *ParseKind(kind_text);
  if (check->parsed()) {
    std::optional<std::string> folder;
    if (client->count() > 0) folder = client_folder;
    return Check(kind, xml_path, folder, out);
  }
  return Transfer(kind, xml_path, out, err);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(args, out, err);
  } catch (const std::exception& e) {
    err << "sbrep: " << e.what() << "\n";
  } catch (...) {
    err << "sbrep: unknown failure\n";
  }
  return kExitMachine;
}

}  // namespace sbrep::cli
