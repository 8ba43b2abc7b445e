// The call log: one JSON line per call in the user's own profile, so that
// the reason a host only saw as one fixed message is still there when
// support looks. Nothing the log does can change the call it records.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "transfer/table_kinds.h"
#include "transfer/transfer.h"

namespace sbrep {

// Past this size the log becomes calls.1.log and a new one starts.
inline constexpr std::uint64_t kCallLogLimit = 1u << 20;
// The off switch: this DWORD below HKEY_CURRENT_USER, 0 for off.
inline constexpr const char kCallLogKey[] = "Software\\sbrep";
inline constexpr const char kCallLogValue[] = "Log";

// %LOCALAPPDATA%\sbrep on Windows; $XDG_STATE_HOME/sbrep, or
// ~/.local/state/sbrep, elsewhere. Nothing when the variables that name the
// profile are unset.
std::optional<std::string> CallLogFolder();
std::string CallLogPath(const std::string& folder);
std::string OlderCallLogPath(const std::string& folder);

// False when SBREP_LOG is 0 or the registry's Log value is 0.
bool CallLogEnabled() noexcept;

// What one line says.
struct CallRecord {
  std::string time;
  unsigned long pid = 0;
  std::string program;
  int kind = 0;
  CallFacts facts;
  TransferOutcome outcome;
  std::optional<std::uint64_t> table_size_after;
  double duration_ms = 0;
};

// The line for a record, with its LF: one JSON object, UTF-8 throughout
// (bytes that are not UTF-8 become U+FFFD).
std::string CallLogLine(const CallRecord& record);

// Appends `line` to the log in `folder`, creating the folder below the
// profile and turning a full log over first. False when it could not.
bool AppendCallLog(const std::string& folder, const std::string& line) noexcept;

// One call, logged: made before the transfer, finished after it.
class CallLog {
 public:
  explicit CallLog(const KindEntry& kind) noexcept;
  CallLog(const CallLog&) = delete;
  CallLog& operator=(const CallLog&) = delete;

  // Where the transfer notes its facts; null when the call is not logged.
  CallFacts* facts() noexcept { return on_ ? &record_.facts : nullptr; }
  // Writes the line. Never throws; a log that cannot be written is left be.
  void Finish(const TransferOutcome& outcome) noexcept;

 private:
  bool on_ = false;
  std::chrono::steady_clock::time_point start_;
  CallRecord record_;
};

}  // namespace sbrep
