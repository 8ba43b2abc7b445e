#include "cli/sbrep_cli.h"

#include <exception>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/help.h"
#include "cli/interrupt.h"
#include "cli/refusal.h"
#include "cli/report.h"

namespace sbrep::cli {
namespace {

void SetEncoding(OutputEncoding encoding, Console& console) {
  if (encoding == OutputEncoding::kAuto || !console.set_encoding) return;
  console.out << std::flush;
  console.err << std::flush;
  console.set_encoding(encoding);
}

// What a refusal's line starts with: the command's own word for it.
const char* LeadOf(const Refusal& refusal, Command command) {
  if (refusal.status() == kExitUsage) return "sbrep: ";
  switch (command) {
    case Command::kRestore:
      return "not restored: ";
    case Command::kCall:
      return "not called: ";
    default:
      return "sbrep: ";
  }
}

int Tell(const Refusal& refusal, Command command, bool json, Console& console) {
  console.err << LeadOf(refusal, command) << refusal.what() << "\n";
  if (!refusal.detail().empty()) console.err << "detail: " << refusal.detail() << "\n";
  console.err << std::flush;
  if (refusal.status() == kExitUsage && json) {
    SetEncoding(OutputEncoding::kUtf8, console);
    WriteJsonOutcome(command, kExitUsage, "usage", refusal.what(), console.out);
  }
  return refusal.status();
}

int Dispatch(const Arguments& parsed, Console& console) {
  if (parsed.help) {
    if (parsed.json) {
      WriteJsonHelp(HelpText(parsed.command), console.out);
    } else {
      console.out << HelpText(parsed.command) << std::flush;
    }
    return kExitReady;
  }
  if (parsed.version) return RunVersion(parsed, console);
  switch (parsed.command) {
    case Command::kCheck:
      return RunCheck(parsed, console);
    case Command::kTransfer:
      return RunTransfer(parsed, console);
    case Command::kRestore:
      return RunRestore(parsed, console);
    case Command::kCall:
      return RunCall(parsed, console);
    case Command::kLog:
      return RunLog(parsed, console);
    case Command::kNone:
      break;
  }
  return kExitUsage;
}

int Run(const std::vector<std::string>& args, Console& console) {
  Arguments parsed;
  try {
    parsed = ParseArguments(args);
    if (parsed.client) CheckClientFolder(*parsed.client);
  } catch (const Refusal& usage) {
    // A --client refused after the parse still names its command.
    const Command command = usage.command != Command::kNone ? usage.command : parsed.command;
    return Tell(usage, command, AsksForJson(args), console);
  }
  // JSON is UTF-8 wherever it goes.
  if (parsed.json) parsed.encoding = OutputEncoding::kUtf8;
  SetEncoding(parsed.encoding, console);
  SetInterruptJson(parsed.json ? CommandName(parsed.command) : "");
  try {
    return Dispatch(parsed, console);
  } catch (const Refusal& refusal) {
    return Tell(refusal, parsed.command, false, console);
  }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, Console& console) {
  int status = kExitMachine;
  try {
    status = Run(args, console);
  } catch (const std::exception& e) {
    console.err << "sbrep: " << e.what() << "\n" << std::flush;
    if (AsksForJson(args))
      WriteJsonOutcome(Command::kNone, status, "machine", e.what(), console.out);
  } catch (...) {
    console.err << "sbrep: unknown failure\n" << std::flush;
  }
  console.out << std::flush;
  console.err << std::flush;
  // What a script reads is incomplete: success must not be told by the
  // status alone.
  const bool out_failed = !console.out;
  if (out_failed || !console.err) {
    console.err.clear();
    console.err << "sbrep: cannot write the " << (out_failed ? "output" : "error stream")
                << "; what it shows is incomplete\n"
                << std::flush;
    return kExitOutput;
  }
  return status;
}

}  // namespace sbrep::cli
