// The rewrite in place and its rollback journal. The order is the one that
// makes a crash at any point recoverable: the journal is on disk before the
// first byte of the table changes, and it goes only once the new bytes are.
#include "table_file/in_place.h"

#include <new>

#include "core/error.h"
#include "table_file/journal.h"
#include "table_file/table_lines.h"

namespace sbrep {
namespace {

// The journal holds a whole table, the changed stretch of another, and a
// small header.
constexpr std::uint64_t kMaxJournalBytes = 2 * kMaxTableBytes + 4096;

// Writes `bytes` over the file from offset 0, truncates and flushes it:
// through the handle alone, so that nothing here needs memory.
fs::Outcome WriteOver(fs::File& file, const std::string& bytes) {
  fs::Ops& ops = fs::FileSystem();
  fs::Outcome outcome = ops.seek(file.handle(), 0);
  if (outcome.ok()) outcome = file.WriteAll(bytes);
  if (outcome.ok()) outcome = ops.truncate(file.handle(), bytes.size());
  if (outcome.ok()) outcome = ops.flush(file.handle());
  return outcome;
}

// Writes `bytes` over the file and reads them back into `check`, whose room
// is made beforehand.
Step Overwrite(fs::File& file, const std::string& bytes, std::string* check, const char* write_step,
               const char* verify_step) {
  if (auto failure = Failed(write_step, WriteOver(file, bytes))) return failure;
  if (auto failure = Failed(verify_step, fs::FileSystem().seek(file.handle(), 0))) return failure;
  if (auto failure = Failed(verify_step, file.ReadAll(check, kMaxTableBytes))) return failure;
  if (*check != bytes) return StepFailure{verify_step, {fs::Status::kOther, 0}, " (differs)"};
  return std::nullopt;
}

Step Overwrite(fs::File& file, const std::string& bytes, const char* write_step,
               const char* verify_step) {
  std::string check;
  check.reserve(bytes.size());
  return Overwrite(file, bytes, &check, write_step, verify_step);
}

Step WriteJournal(const std::string& journal, const std::string& table_name,
                  const std::string& old_bytes, const std::string& new_bytes) {
  fs::File file;
  if (auto failure =
          Failed("create journal", file.Open(journal, fs::OpenMode::kCreateOrTruncate))) {
    return failure;
  }
  if (auto failure =
          Failed("write journal", file.WriteAll(EncodeJournal(table_name, old_bytes, new_bytes)))) {
    return failure;
  }
  if (auto failure = Failed("flush journal", fs::FileSystem().flush(file.handle()))) {
    return failure;
  }
  if (auto failure = Failed("close journal", file.Close())) return failure;
  // Where the folder will not sync, a killed process still leaves the
  // journal; only a power cut could lose its name.
  fs::Checked(fs::FileSystem().sync_folder(fs::FolderOf(journal)));
  return std::nullopt;
}

// Removes the journal, or at least empties it: an empty journal is
// incomplete, and an incomplete one is never rolled back.
Step DropJournal(const std::string& journal) {
  fs::Ops& ops = fs::FileSystem();
  const std::string folder = fs::FolderOf(journal);
  const fs::Outcome removed = fs::Checked(ops.remove(journal));
  if (removed.ok() || removed.status == fs::Status::kNotFound) {
    // The journal is gone; a folder that will not sync changes nothing now.
    ops.sync_folder(folder);
    return std::nullopt;
  }
  fs::File file;
  if (file.Open(journal, fs::OpenMode::kCreateOrTruncate).ok() && ops.flush(file.handle()).ok() &&
      file.Close().ok()) {
    return std::nullopt;
  }
  return Failed("remove journal", removed);
}

// The journal could not be created because the folder takes no new file,
// rather than because something stands at its name.
bool RefusesNewFiles(const StepFailure& failure, const std::string& journal) {
  if (failure.step != "create journal" || failure.outcome.status != fs::Status::kAccessDenied) {
    return false;
  }
  fs::Attributes found;
  return fs::Checked(fs::FileSystem().stat(journal, &found)).ok() && !found.exists;
}

}  // namespace

std::string RecoveryNote(Recovery recovery, std::string_view table_name) {
  const std::string table(table_name);
  switch (recovery) {
    case Recovery::kNone:
      break;
    case Recovery::kRolledBack:
      return "an interrupted save had left " + table + " half written; it was rolled back";
    case Recovery::kKept:
      return "an interrupted save's journal was found, but " + table +
             " changed since; it was kept as it is";
  }
  return {};
}

const char* RecoveryName(Recovery recovery) {
  switch (recovery) {
    case Recovery::kNone:
      break;
    case Recovery::kRolledBack:
      return "rolled_back";
    case Recovery::kKept:
      return "kept";
  }
  return "none";
}

Step RewriteInPlace(const std::string& path, const std::string& bytes) {
  fs::File file;
  if (auto failure =
          Failed("open table file for writing", file.Open(path, fs::OpenMode::kReadWrite))) {
    return failure;
  }
  std::string old_bytes;
  if (auto failure = Failed("read table file", file.ReadAll(&old_bytes, kMaxTableBytes))) {
    return failure;
  }
  const std::string journal = JournalPath(path);
  bool journaled = true;
  if (auto failure = WriteJournal(journal, fs::NameOf(path), old_bytes, bytes)) {
    fs::Checked(fs::FileSystem().remove(journal));
    if (!RefusesNewFiles(*failure, journal)) return failure;
    // No file can be made beside the table: it gets the one write any
    // program that saves in place gives it.
    journaled = false;
  }
  Step failure;
  try {
    std::string check;
    check.reserve(bytes.size());
    failure = Overwrite(file, bytes, &check, "write table file", "read back table file");
    if (!failure && journaled) failure = DropJournal(journal);
  } catch (const std::bad_alloc&) {
    // Memory ran out with the table changed: put its old bytes back through
    // the handle, which needs none, and leave the journal to the next call
    // should that fail too.
    (void)WriteOver(file, old_bytes);
    throw;
  }
  if (failure) {
    if (auto restore = Overwrite(file, old_bytes, "restore table file", "restore table file")) {
      failure->note = "; " + restore->Text() +
                      (journaled ? ", the next call rolls it back from the journal"
                                 : ", and no journal could be kept beside it");
    } else if (journaled) {
      // The table holds its old bytes, so rolling back to them later is harmless.
      if (auto kept = DropJournal(journal)) failure->note = "; " + kept->Text();
    }
  }
  return failure;
}

Recovery RollBackInterruptedSave(const std::string& path) {
  fs::Ops& ops = fs::FileSystem();
  const std::string journal = JournalPath(path);
  const std::string journal_name = fs::NameOf(journal);
  fs::Attributes found;
  const fs::Outcome checked = fs::Checked(ops.stat(journal, &found));
  if (!checked.ok()) ThrowTableError("cannot check " + journal_name + ": " + fs::Describe(checked));
  if (!found.exists) return Recovery::kNone;

  std::string bytes;
  {
    fs::File file;
    fs::Outcome read = file.Open(journal, fs::OpenMode::kRead);
    if (read.ok()) read = file.ReadAll(&bytes, kMaxJournalBytes);
    if (!read.ok()) ThrowTableError("cannot read " + journal_name + ": " + fs::Describe(read));
  }
  Recovery recovery = Recovery::kNone;
  // A journal that is not complete was still being written: the table was
  // not touched yet.
  if (const std::optional<Journal> decoded = DecodeJournal(bytes, fs::NameOf(path))) {
    bytes = std::string();
    fs::File file;
    Step failure = Failed("open table file for writing", file.Open(path, fs::OpenMode::kReadWrite));
    std::string now;
    if (!failure) failure = Failed("read table file", file.ReadAll(&now, kMaxTableBytes));
    if (!failure) {
      switch (StateOf(*decoded, now)) {
        case TableState::kOld:
        case TableState::kNew:
          break;
        case TableState::kInterrupted:
          now = std::string();
          failure =
              Overwrite(file, decoded->old_bytes, "roll back table file", "read back table file");
          recovery = Recovery::kRolledBack;
          break;
        case TableState::kChanged:
          recovery = Recovery::kKept;
          break;
      }
    }
    if (failure) {
      ThrowTableError("an interrupted save left " + journal_name + ", and " + fs::NameOf(path) +
                      " cannot be rolled back: " + failure->Text());
    }
  }
  if (auto kept = DropJournal(journal)) {
    ThrowTableError("cannot drop " + journal_name + " after an interrupted save: " + kept->Text());
  }
  return recovery;
}

}  // namespace sbrep
