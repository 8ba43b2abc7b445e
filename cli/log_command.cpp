// sbrep log: the last calls of the library as the call log keeps them, for
// support staff, and the log's off switch.
#include <deque>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/refusal.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "transfer/call_log.h"
#include "transfer/table_kinds.h"

namespace sbrep::cli {
namespace {

constexpr std::uint64_t kReadLimit = 16u << 20;

struct Entry {
  std::string file;  // which log, and the line's number there, when unreadable
  std::size_t number = 0;
  std::string raw;
  nlohmann::json line;  // discarded when it cannot be read
};

std::string Text(const nlohmann::json& line, const char* key) {
  const auto it = line.find(key);
  return it != line.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A line of the log this tool can show: an object with the time, the kind
// and the result at least. A cut-off write, or a newer format, is not.
bool Readable(const nlohmann::json& line) {
  return line.is_object() && line.contains("time") && line["time"].is_string() &&
         line.contains("kind") && line["kind"].is_number_integer() && line.contains("result") &&
         line["result"].is_number_integer();
}

// Reads one log's lines onto `entries`; false when it exists and cannot be read.
bool ReadLog(const std::string& path, std::deque<Entry>* entries, std::string* why) {
  if (!fs::IsFile(path)) return true;
  fs::File file;
  fs::Outcome outcome = file.Open(path, fs::OpenMode::kRead);
  std::string bytes;
  if (outcome.ok()) outcome = file.ReadAll(&bytes, kReadLimit);
  if (!outcome.ok()) {
    *why = path + ": " + fs::Describe(outcome);
    return false;
  }
  std::size_t number = 0;
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    ++number;
    Entry entry{fs::NameOf(path), number, bytes.substr(start, end - start), {}};
    start = end + 1;
    if (!entry.raw.empty() && entry.raw.back() == '\r') entry.raw.pop_back();
    if (entry.raw.empty()) continue;
    entry.line = nlohmann::json::parse(entry.raw, nullptr, false);
    if (!Readable(entry.line)) entry.line = nlohmann::json(nlohmann::json::value_t::discarded);
    entries->push_back(std::move(entry));
  }
  return true;
}

void Show(const Entry& entry, Console& console) {
  const nlohmann::json& line = entry.line;
  const int kind = line["kind"].get<int>();
  const int result = line["result"].get<int>();
  std::string title;
  if (const KindEntry* known = FindTableKind(kind)) title = " (" + std::string(known->title) + ")";
  const std::string program = fs::NameOf(Text(line, "program"));
  const std::string message = Text(line, "message");
  console.out << Text(line, "time") << "  " << (program.empty() ? "-" : program) << "  kind "
              << kind << title << "  " << result << "  "
              << (result == 0 ? std::string("transferred") : message) << "\n";
  const std::string detail = Text(line, "detail");
  if (!detail.empty()) {
    const std::string fault = Text(line, "fault");
    console.out << "    " << (fault.empty() ? "" : fault + ": ") << detail << "\n";
  }
}

int Switch(bool on, Console& console) {
  const std::string where = std::string("HKEY_CURRENT_USER\\") + kCallLogKey;
  if (!registry::WriteUserDword(kCallLogKey, kCallLogValue, on ? 1 : 0)) {
    throw Refusal(kExitMachine, std::string("cannot set ") + kCallLogValue + " under " + where +
                                    " (natively, in the file SBREP_REGISTRY_FILE names)");
  }
  console.out << "the call log is " << (on ? "on" : "off") << ": " << kCallLogValue << " = "
              << (on ? 1 : 0) << " under " << where << "\n";
  if (on && process::Environment("SBREP_LOG") == std::optional<std::string>("0")) {
    console.out << "SBREP_LOG=0 in this environment still turns it off for programs that have it\n";
  }
  console.out << std::flush;
  return kExitReady;
}

}  // namespace

int RunLog(const Arguments& args, Console& console) {
  if (args.log_switch) return Switch(*args.log_switch, console);
  const auto folder = CallLogFolder();
  if (!folder) {
    throw Refusal(kExitInstall,
                  "no call log: the variables that name the profile folder are unset");
  }
  std::deque<Entry> entries;
  std::string why;
  if (!ReadLog(OlderCallLogPath(*folder), &entries, &why) ||
      !ReadLog(CallLogPath(*folder), &entries, &why)) {
    throw Refusal(kExitMachine, "cannot read the call log: " + why);
  }
  if (!CallLogEnabled()) {
    console.err << "the call log is off (" << kCallLogValue << " = 0, or SBREP_LOG=0); "
                << "sbrep log --on turns it on\n";
  }
  // The last N calls; a line that cannot be read among them is named, and
  // takes no place of a call.
  std::deque<const Entry*> shown;
  std::size_t calls = 0;
  for (const Entry& entry : entries) {
    const bool readable = !entry.line.is_discarded();
    if (args.failed_only && readable && entry.line["result"] == 0) continue;
    shown.push_back(&entry);
    if (readable) ++calls;
    while (calls > args.count) {
      if (!shown.front()->line.is_discarded()) --calls;
      shown.pop_front();
    }
  }
  // Unreadable lines older than the first call shown are not among them.
  while (calls == args.count && !shown.empty() && shown.front()->line.is_discarded()) {
    shown.pop_front();
  }
  if (shown.empty()) {
    console.out << "no " << (args.failed_only ? "failed " : "") << "calls in "
                << CallLogPath(*folder) << "\n"
                << std::flush;
    return kExitReady;
  }
  for (const Entry* entry : shown) {
    if (entry->line.is_discarded()) {
      // Never fatal: the lines around it are shown.
      console.err << "line " << entry->number << " of " << entry->file
                  << " cannot be read (cut off, or of a newer format); skipped\n";
    } else if (args.json) {
      console.out << entry->raw << "\n";
    } else {
      Show(*entry, console);
    }
  }
  console.out << std::flush;
  console.err << std::flush;
  return kExitReady;
}

}  // namespace sbrep::cli
