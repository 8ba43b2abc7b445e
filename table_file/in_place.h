// Rewriting a table through a handle that shares read and write, as the
// client's own handle does, with a rollback journal beside it; and rolling
// back what a process that died in the middle left.
#pragma once

#include <string>

#include "table_file/steps.h"

namespace sbrep {

// Journals the old bytes, overwrites and truncates the table, reads it back,
// and drops the journal. A failure puts the old bytes back; where even that
// fails, the journal stays for the next call to roll back.
Step RewriteInPlace(const std::string& path, const std::string& bytes);

// Rolls the table back to the bytes of a complete journal, or drops an
// incomplete one (the table was not touched yet). Throws an Error
// (Fault::kTable) when the journal stays, so that no save runs over it.
void RollBackInterruptedSave(const std::string& path);

}  // namespace sbrep
