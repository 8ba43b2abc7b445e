// Rewriting a table through a handle that shares read and write, as the
// client's own handle does, with a rollback journal beside it; and rolling
// back what a process that died in the middle left.
#pragma once

#include <string>
#include <string_view>

#include "table_file/steps.h"

namespace sbrep {

// What the rollback of an interrupted save did.
enum class Recovery {
  kNone,        // no journal, or one whose save never changed the table or landed
  kRolledBack,  // the table held what a killed save left, and has its old bytes again
  kKept,        // the table changed since the killed save, and was left as it is
};

// What a person is told of a recovery, or empty text for kNone.
std::string RecoveryNote(Recovery recovery, std::string_view table_name);

// "none", "rolled_back" or "kept", as the tool's JSON and the call log say it.
const char* RecoveryName(Recovery recovery);

// Journals the old bytes and the record of the new ones, overwrites and
// truncates the table, reads it back, and drops the journal. A failure puts
// the old bytes back; where even that fails, the journal stays for the next
// call to roll back. Where the folder takes no new file, the table gets its
// one write without a journal.
Step RewriteInPlace(const std::string& path, const std::string& bytes);

// Rolls the table back to the old bytes of a complete journal where it holds
// exactly what the journal's rewrite or a rollback cut short leaves; any
// other table is left as it is. Drops the journal then, and an incomplete one
// at once (the table was not touched yet). Throws an Error (Fault::kTable)
// when the journal stays, so that no save runs over it.
Recovery RollBackInterruptedSave(const std::string& path);

}  // namespace sbrep
