// The fixed texts the library hands to its caller, as GBK bytes.
#pragma once

#include <string_view>

namespace sbrep {

enum class Message {
  kEmpty,                   // nothing stored yet
  kNotInstalled,            // no install folder registered
  kInstallFolderMissing,    // the registered folder does not exist
  kBalanceSheetMissing,     // TABLE08.dat missing
  kIncomeStatementMissing,  // TABLE09.dat missing
  kVatScheduleOneMissing,   // TABLE02.dat missing
  kExportMissing,           // the XML file does not exist
  kXmlParseError,           // the export's content is at fault
  kProcessingFailed,        // the catch-all
};

// The GBK bytes of a message, without a terminating NUL.
std::string_view MessageBytes(Message message);

// A short English gloss, for people reading diagnostics.
std::string_view MessageGloss(Message message);

}  // namespace sbrep
