// The one error type of the library: which fixed message a failure maps to,
// what is at fault, and a detail text for people.
#pragma once

#include <stdexcept>
#include <string>

#include "core/messages.h"

namespace sbrep {

// What is at fault. The command-line tool turns this into its exit status.
enum class Fault {
  kInstall,  // the filing client or a file is missing (the opening checks)
  kExport,   // the export's content
  kTable,    // the table file
  kMachine,  // the machine: no parser, memory, an unreadable file
};

class Error : public std::runtime_error {
 public:
  Error(Message message, Fault fault, const std::string& detail)
      : std::runtime_error(detail), message_(message), fault_(fault) {}

  Message message() const { return message_; }
  Fault fault() const { return fault_; }
  std::string detail() const { return what(); }

 private:
  Message message_;
  Fault fault_;
};

// The export's content is at fault.
[[noreturn]] inline void ThrowExportError(const std::string& detail) {
  throw Error(Message::kXmlParseError, Fault::kExport, detail);
}

// The machine is at fault.
[[noreturn]] inline void ThrowMachineError(const std::string& detail) {
  throw Error(Message::kProcessingFailed, Fault::kMachine, detail);
}

// The table file is at fault, or could not be written.
[[noreturn]] inline void ThrowTableError(const std::string& detail) {
  throw Error(Message::kProcessingFailed, Fault::kTable, detail);
}

}  // namespace sbrep
