#include "cli/sbrep_cli.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <optional>

#include "cli/diff.h"
#include "cli/platform.h"
#include "declaration/codepage.h"
#include "export/error.h"
#include "export/last_message.h"
#include "export/messages.h"
#include "filingclient/filesystem.h"
#include "tables/numbers.h"
#include "tables/writers.h"

namespace sbrep::cli {
namespace {

constexpr const char kKindHelp[] = "1, 2, 3, balance-sheet, income-statement or vat-schedule-one";

std::optional<TableKind> ParseKind(const std::string& text) {
  if (text == "1" || text == "balance-sheet") return TableKind::kBalanceSheet;
  if (text == "2" || text == "income-statement") return TableKind::kIncomeStatement;
  if (text == "3" || text == "vat-schedule-one") return TableKind::kVatScheduleOne;
  return std::nullopt;
}

const char* KindTitle(TableKind kind) {
  switch (kind) {
    case TableKind::kBalanceSheet:
      return "balance sheet";
    case TableKind::kIncomeStatement:
      return "income statement";
    case TableKind::kVatScheduleOne:
      return "VAT schedule one";
  }
  return "";
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

void SummariseRows(TableKind kind, const RowValues& values, std::ostream& out) {
  std::size_t filled = 0;
  for (std::size_t r = 1; r <= values.rows && r < values.first.size(); ++r) {
    if (!values.first[r].empty() || !values.second[r].empty()) ++filled;
  }
  out << KindTitle(kind) << ": " << values.items << " items for " << values.rows << " rows\n"
      << "  rows with values: " << filled << "\n"
      << "  rows left empty:  " << values.rows - filled << "\n";
  if (values.items < values.rows) {
    out << "warning: the export has fewer items than the table has rows; "
        << Rows(values.items + 1, values.rows) << " get no item\n";
  }
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

void SummariseInvoices(const VatTotals& totals, std::ostream& out) {
  out << "VAT schedule one: " << totals.invoices << " invoices read\n"
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
  fs::Attributes attributes;
  const fs::Outcome checked = fs::FileSystem().stat(path, &attributes);
  if (!checked.ok()) return "cannot check " + name + ": " + fs::Describe(checked);
  if (attributes.read_only) return name + " is read-only, a transfer could not save it";
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

int Check(TableKind kind, const std::string& xml_path,
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
  if (kind == TableKind::kVatScheduleOne) {
    SummariseInvoices(p.totals, out);
  } else {
    SummariseRows(kind, p.rows, out);
  }
  if (auto failure = ProbeWritable(p.paths.table_path)) {
    out << "\n";
    return ReportFailure(Message::kProcessingFailed, Fault::kTable, *failure, out);
  }
  if (!HostPathBytes(xml_path)) {
    out << "warning: the ANSI code page cannot hold this export's path, so a host could not pass "
           "it\n";
  }
  out << "\nready to file: a transfer would save " << name << "\n";
  return kExitReady;
}

int Transfer(TableKind kind, const std::string& xml_path, std::ostream& out, std::ostream& err) {
  const auto host_path = HostPathBytes(xml_path);
  if (!host_path) {
    err << "sbrep: the ANSI code page cannot hold the path '" << xml_path
        << "', so a host could not pass it either\n";
    return kExitFailed;
  }
  const WriteOutcome outcome = WriteTable(kind, host_path->c_str());
  out << "result: " << outcome.result << "\n";
  if (outcome.result == 0) {
    out << "transferred: the " << KindTitle(kind) << " is in " << TableFileName(kind) << "\n";
    return kExitReady;
  }
  // What SetSBRepData copies into the caller's buffer.
  out << "message: " << ShownMessage(LastMessageId()) << "\n";
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
  app.footer("KIND is " + std::string(kKindHelp) +
             ".\n\n"
             "Exit status: check gives 0 ready to file, 2 the install or a file is missing,\n"
             "3 the export is at fault, 4 the table file is at fault, 5 the machine;\n"
             "transfer gives 0 or 1; a usage error gives 64.\n\n"
             "Examples:\n"
             "  sbrep check balance-sheet export.xml\n"
             "  sbrep check 3 invoices.xml --client C:\\Dexlan-test\n"
             "  sbrep transfer vat-schedule-one invoices.xml");

  const CLI::Validator kind_check(
      [](std::string& text) {
        return ParseKind(text) ? std::string()
                               : "must be " + std::string(kKindHelp) + ", not '" + text + "'";
      },
      "");

  std::string kind_text;
  std::string xml_path;
  std::string client_folder;
  // Both commands take the same two positionals.
  const auto add_command = [&](const char* name, const char* description) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("KIND", kind_text, "The table: " + std::string(kKindHelp))
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

  const TableKind kind = *ParseKind(kind_text);
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
