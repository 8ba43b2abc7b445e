#include "transfer/call_log.h"

#include <string_view>

#include "include/sbrep.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "table_file/in_place.h"

namespace sbrep {
namespace {

constexpr const char* kArchitecture = sizeof(void*) == 8 ? "x64" : "x86";
// A detail longer than this is cut: a line stays small, whatever it quotes.
constexpr std::size_t kDetailLimit = 2000;

// With the separator the folder already uses, so Windows paths read as such.
std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder + name;
  const bool backslash = folder.find('\\') != std::string::npos;
  std::string below = name;
  if (backslash) {
    for (char& c : below) {
      if (c == '/') c = '\\';
    }
  }
  return folder + (backslash ? "\\" : "/") + below;
}

// The length of the UTF-8 sequence at text[at], or 0 when it is not one.
std::size_t SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned min = 0;
  unsigned code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    min = 0x80;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    min = 0x800;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    min = 0x10000;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

void AppendString(std::string* out, std::string_view text) {
  *out += '"';
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const std::size_t length = SequenceAt(text, at);
    if (length == 0) {
      *out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    if (length > 1) {
      out->append(text.data() + at, length);
    } else if (c == '"' || c == '\\') {
      *out += '\\';
      *out += c;
    } else if (c == '\n') {
      *out += "\\n";
    } else if (c == '\r') {
      *out += "\\r";
    } else if (c == '\t') {
      *out += "\\t";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      const auto code = static_cast<unsigned char>(c);
      *out += "\\u00";
      *out += kHex[code >> 4];
      *out += kHex[code & 0xF];
    } else {
      *out += c;
    }
    at += length;
  }
  *out += '"';
}

void AppendNumber(std::string* out, const std::optional<std::uint64_t>& number) {
  *out += number ? std::to_string(*number) : std::string("null");
}

// The text up to `limit` bytes, cut before a UTF-8 sequence and marked.
std::string_view Cut(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t at = limit;
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  return text.substr(0, at);
}

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kInstall:
      return "install";
    case Fault::kExport:
      return "export";
    case Fault::kTable:
      return "table";
    case Fault::kMachine:
      break;
  }
  return "machine";
}

}  // namespace

std::optional<std::string> CallLogFolder() {
  const auto place = process::UserStatePlace();
  if (!place) return std::nullopt;
  return Join(place->root, place->below);
}

std::string CallLogPath(const std::string& folder) { return Join(folder, "calls.log"); }

std::string OlderCallLogPath(const std::string& folder) { return Join(folder, "calls.1.log"); }

bool CallLogEnabled() noexcept {
  try {
    if (process::Environment("SBREP_LOG") == std::optional<std::string>("0")) return false;
    return registry::ReadUserDword(kCallLogKey, kCallLogValue).value_or(1) != 0;
  } catch (...) {
    return false;
  }
}

std::string CallLogLine(const CallRecord& record) {
  const TransferOutcome& outcome = record.outcome;
  std::string line = "{\"time\":";
  AppendString(&line, record.time);
  line += ",\"pid\":" + std::to_string(record.pid) + ",\"program\":";
  AppendString(&line, record.program);
  line += ",\"version\":\"" SBREP_VERSION_STRING "\",\"arch\":\"";
  line += kArchitecture;
  line += "\",\"kind\":" + std::to_string(record.kind) + ",\"export\":";
  AppendString(&line, record.facts.xml_path);
  line += ",\"export_size\":";
  AppendNumber(&line, record.facts.export_size);
  line += ",\"result\":" + std::to_string(outcome.result) + ",\"message\":";
  const std::string_view bytes = MessageBytes(outcome.message);
  AppendString(&line, bytes.empty() ? std::string() : GbkToUtf8(bytes).value_or(""));
  line += ",\"fault\":";
  if (outcome.error) {
    line += std::string("\"") + FaultName(outcome.error->fault()) + "\",\"detail\":";
    AppendString(&line, Cut(outcome.error->what(), kDetailLimit));
  } else {
    line += "null,\"detail\":null";
  }
  line += ",\"table\":";
  if (record.facts.table_path.empty()) {
    line += "null";
  } else {
    AppendString(&line, record.facts.table_path);
  }
  line += ",\"table_size_before\":";
  AppendNumber(&line, record.facts.table_size_before);
  line += ",\"table_size_after\":";
  AppendNumber(&line, record.table_size_after);
  line += ",\"recovery\":";
  AppendString(&line, RecoveryName(outcome.recovery));
  // Milliseconds to the microsecond, without the printf family in the DLL.
  const double micros = record.duration_ms > 0 ? record.duration_ms * 1000 + 0.5 : 0;
  const auto whole = static_cast<unsigned long long>(micros);
  const std::string fraction = std::to_string(1000 + whole % 1000).substr(1);
  line += ",\"duration_ms\":" + std::to_string(whole / 1000) + "." + fraction;
  line += "}\n";
  return line;
}

bool AppendCallLog(const std::string& folder, const std::string& line) noexcept {
  try {
    fs::Ops& ops = fs::FileSystem();
    const std::string path = CallLogPath(folder);
    fs::Attributes attributes;
    if (ops.stat(path, &attributes).ok() && attributes.exists &&
        attributes.size + line.size() > kCallLogLimit) {
      // Another process may have turned it over already; then this line
      // starts the new one.
      ops.replace(path, OlderCallLogPath(folder));
    }
    fs::Outcome outcome = ops.append(path, line.data(), line.size());
    if (outcome.status != fs::Status::kNotFound) return outcome.ok();
    // The log's folders are made on the first call, below the profile only.
    const auto place = process::UserStatePlace();
    if (!place || Join(place->root, place->below) != folder || !fs::IsFolder(place->root)) {
      return false;
    }
    std::string made = place->root;
    for (std::size_t start = 0; start <= place->below.size();) {
      std::size_t end = place->below.find('/', start);
      if (end == std::string::npos) end = place->below.size();
      made = Join(made, place->below.substr(start, end - start));
      if (!ops.create_folder(made).ok()) return false;
      start = end + 1;
    }
    return ops.append(path, line.data(), line.size()).ok();
  } catch (...) {
    return false;
  }
}

CallLog::CallLog(const KindEntry& kind) noexcept {
  if (!CallLogEnabled()) return;
  try {
    start_ = std::chrono::steady_clock::now();
    record_.time = process::LocalTimeNow();
    record_.pid = process::Id();
    record_.program = process::ProgramPath();
    record_.kind = static_cast<int>(kind.kind);
    on_ = true;
  } catch (...) {
    on_ = false;
  }
}

void CallLog::Finish(const TransferOutcome& outcome) noexcept {
  if (!on_) return;
  try {
    record_.duration_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    record_.outcome = outcome;
    if (!record_.facts.table_path.empty()) {
      fs::Attributes attributes;
      if (fs::FileSystem().stat(record_.facts.table_path, &attributes).ok() && attributes.exists) {
        record_.table_size_after = attributes.size;
      }
    }
    const auto folder = CallLogFolder();
    if (folder) AppendCallLog(*folder, CallLogLine(record_));
  } catch (...) {
    // The call is done and stands as it is; only its line is lost.
  }
}

}  // namespace sbrep
