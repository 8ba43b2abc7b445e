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

// What kind of failure an export's error is, so that a caller can tell an
// export of another kind from a broken one without reading the detail.
enum class Cause {
  kOther,           // anything else: the XML itself, or a failure of no class below
  kWrongRoot,       // the root element is not the kind's
  kMissingSection,  // the kind's section element below the root is missing
  kMissingPart,     // a part the section must hold is missing
  kEmptyPart,       // a part that must hold children holds none
  kTooManyItems,    // more items than the table has rows
  kBadItem,         // an item or invoice whose values cannot be filed
};

class Error : public std::runtime_error {
 public:
  Error(Message message, Fault fault, const std::string& detail, Cause cause = Cause::kOther)
      : std::runtime_error(detail), message_(message), fault_(fault), cause_(cause) {}

  Message message() const { return message_; }
  Fault fault() const { return fault_; }
  Cause cause() const { return cause_; }
  std::string detail() const { return what(); }

 private:
  Message message_;
  Fault fault_;
  Cause cause_;
};

// The export's content is at fault.
[[noreturn]] inline void ThrowExportError(const std::string& detail, Cause cause = Cause::kOther) {
  throw Error(Message::kXmlParseError, Fault::kExport, detail, cause);
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
