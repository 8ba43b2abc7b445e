// The rollback journal of a rewrite in place: the table's old bytes, kept
// beside it until the new ones are down, so that a process that dies in the
// middle leaves something the next call can roll back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sbrep {

// "~TABLE08.dat.sbrep-journal" in the table's folder.
std::string JournalPath(const std::string& table_path);

// A journal of `old_bytes` for the table named `table_name`: a header with the
// name and the length, the bytes, and a CRC-32 of all of that at the end, so
// that only a journal written to its last byte reads as complete.
std::string EncodeJournal(std::string_view table_name, std::string_view old_bytes);

// The old bytes, when `journal` is complete and belongs to `table_name`.
std::optional<std::string> DecodeJournal(std::string_view journal, std::string_view table_name);

}  // namespace sbrep
