// The rollback journal of a rewrite in place: the table's old bytes and a
// record of the new ones, kept beside it until the new ones are down, so that
// a process that dies in the middle leaves something the next call can roll
// back, and only what it left.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/sha256.h"

namespace sbrep {

// "~TABLE08.dat.sbrep-journal" in the table's folder.
std::string JournalPath(const std::string& table_path);

// The bytes a rewrite is about to write, as their change from the old ones:
// the old bytes' first `prefix` bytes, then `middle`, then their last
// `suffix` bytes. `size` and `digest` are those of the whole.
struct NewBytesRecord {
  std::uint64_t prefix = 0;
  std::string middle;
  std::uint64_t suffix = 0;
  std::uint64_t size = 0;
  Sha256::Digest digest{};
};

struct Journal {
  std::string old_bytes;
  std::optional<NewBytesRecord> new_bytes;  // none in a journal of format 1
};

// A journal for the table named `table_name` (format 2): a header with the
// name, the old bytes with their length, the record of `new_bytes`, and a
// CRC-32 of all of that at the end, so that only a journal written to its
// last byte reads as complete.
std::string EncodeJournal(std::string_view table_name, std::string_view old_bytes,
                          std::string_view new_bytes);

// The journal, when it is complete, belongs to `table_name` and its record
// of the new bytes holds together. Reads format 1 as well, which kept the
// old bytes alone.
std::optional<Journal> DecodeJournal(std::string_view journal, std::string_view table_name);

// What a table holds beside its journal.
enum class TableState {
  kOld,          // the old bytes: the rewrite never changed a byte
  kNew,          // the new bytes: the rewrite landed
  kInterrupted,  // what a rewrite or a rollback cut short leaves
  kChanged,      // none of those: saved by someone else since
};

// Decides, from the journal alone, which of the states `now` is. Only a mix
// that the rewrite and its rollback can leave counts as interrupted: the old
// bytes with one stretch of the new ones over them, from where a rollback
// got to up to where the rewrite got to, and the file no shorter than the
// old bytes. Without a record of the new bytes no mix can be proven.
TableState StateOf(const Journal& journal, std::string_view now);

}  // namespace sbrep
