// The crash-safe save of a table file: a temp file in the same folder that
// replaces the table in one step, and, where the client's own handle forbids
// that, a journaled rewrite in place.
#include "table_file/save.h"

#include "core/error.h"
#include "table_file/in_place.h"

namespace sbrep {
namespace {

// About one second in all: long enough for a scanner or indexer to let go.
constexpr unsigned kRetryDelaysMs[] = {50, 100, 150, 200, 250, 250};

bool MayPass(const fs::Outcome& outcome) {
  return outcome.status == fs::Status::kSharingViolation ||
         outcome.status == fs::Status::kAccessDenied;
}

// One fixed name per table, so that a crash leftover is simply replaced.
std::string TempPathOf(const std::string& path) {
  return fs::FolderOf(path) + "~" + fs::NameOf(path) + ".sbrep-tmp";
}

// Clears the temp file's name. One that stays is held by another program,
// which may be writing it: the save then fails rather than write in place,
// and the leftover keeps its attributes.
Step ClearTemp(const std::string& temp) {
  fs::Ops& ops = fs::FileSystem();
  // The name is ours, so a read-only attribute on a leftover (which refuses
  // its removal on Windows) is ours to lift.
  fs::Attributes leftover;
  const bool read_only =
      fs::Checked(ops.stat(temp, &leftover)).ok() && leftover.exists && !leftover.directory &&
      leftover.read_only &&
      fs::Checked(ops.set_attributes(temp, fs::WithoutReadOnly(leftover.native))).ok();
  fs::Outcome outcome;
  for (std::size_t attempt = 0;; ++attempt) {
    outcome = fs::Checked(ops.remove(temp));
    fs::Attributes found;
    if (fs::Checked(ops.stat(temp, &found)).ok() && !found.exists) return std::nullopt;
    if (attempt == std::size(kRetryDelaysMs)) break;
    ops.sleep_ms(kRetryDelaysMs[attempt]);
  }
  // A remove that reports success on a file that stays marks it for deletion
  // once its holder lets go.
  if (outcome.ok()) outcome = {fs::Status::kSharingViolation, 0};
  if (read_only) fs::Checked(ops.set_attributes(temp, leftover.native));
  StepFailure held{"remove temp file", outcome, " (another program holds it)", true};
  return held;
}

Step WriteTemp(const std::string& temp, const std::string& bytes, const std::string& table,
               const fs::Attributes& old) {
  fs::Ops& ops = fs::FileSystem();
  {
    fs::File file;
    if (auto failure =
            Failed("create temp file", file.Open(temp, fs::OpenMode::kCreateOrTruncate))) {
      // Someone made it since it was cleared, and holds it.
      failure->final = failure->outcome.status == fs::Status::kSharingViolation;
      return failure;
    }
    if (auto failure = Failed("write temp file", file.WriteAll(bytes))) return failure;
    if (auto failure = Failed("flush temp file", ops.flush(file.handle()))) return failure;
    if (auto failure = Failed("close temp file", file.Close())) return failure;
  }
  if (old.exists) {
    // The owner first: giving a file away may clear mode bits.
    if (auto failure =
            Failed("carry owner and access list to temp file", ops.carry_identity(table, temp))) {
      return failure;
    }
    if (auto failure =
            Failed("carry attributes to temp file", ops.set_attributes(temp, old.native))) {
      return failure;
    }
  }
  return std::nullopt;
}

Step ReplaceWithRetries(const std::string& temp, const std::string& path) {
  fs::Ops& ops = fs::FileSystem();
  fs::Outcome outcome = ops.replace(temp, path);
  for (unsigned delay : kRetryDelaysMs) {
    if (outcome.ok() || !MayPass(outcome)) break;
    ops.sleep_ms(delay);
    outcome = ops.replace(temp, path);
  }
  return Failed("replace table file", outcome);
}

void SaveInPlace(const std::string& path, const std::string& bytes, const std::string& reason) {
  if (auto failure = RewriteInPlace(path, bytes)) {
    ThrowTableError("cannot save " + fs::NameOf(path) + ": " + reason + "; " + failure->Text());
  }
}

}  // namespace

SaveCheck CheckSavable(const std::string& path) {
  SaveCheck check;
  check.outcome = fs::Checked(fs::FileSystem().stat(path, &check.attributes));
  const fs::Attributes& found = check.attributes;
  if (!check.outcome.ok()) {
    check.refusal = SaveRefusal::kUnchecked;
  } else if (found.exists && found.directory) {
    check.refusal = SaveRefusal::kFolder;
  } else if (found.exists && found.read_only) {
    check.refusal = SaveRefusal::kReadOnly;
  }
  return check;
}

bool FolderTakesNewFiles(const std::string& table_path) {
  fs::Ops& ops = fs::FileSystem();
  const std::string temp = TempPathOf(LocateTable(table_path).path);
  fs::Attributes found;
  if (!fs::Checked(ops.stat(temp, &found)).ok() || found.exists) return true;
  fs::File file;
  const fs::Outcome created = file.Open(temp, fs::OpenMode::kCreateOrTruncate);
  if (!created.ok()) return created.status != fs::Status::kAccessDenied;
  file.Close();
  fs::Checked(ops.remove(temp));
  return true;
}

fs::Location LocateTable(const std::string& path) {
  fs::Location where;
  if (!fs::Checked(fs::FileSystem().locate(path, &where)).ok()) where = fs::Location{path, 1};
  return where;
}

void SaveTableLines(const TableLines& lines, const std::string& table_path) {
  fs::Ops& ops = fs::FileSystem();
  const fs::Location where = LocateTable(table_path);
  const std::string& path = where.path;
  const std::string name = fs::NameOf(path);
  const std::string bytes = JoinTableLines(lines);
  if (bytes.size() > kMaxTableBytes) {
    ThrowTableError("cannot save " + name + ": " + std::to_string(bytes.size()) +
                    " bytes, more than the " + std::to_string(kMaxTableBytes >> 20) +
                    " MB a table may hold");
  }

  // Checked first: some systems let a rename replace a read-only file.
  const SaveCheck check = CheckSavable(path);
  switch (check.refusal) {
    case SaveRefusal::kNone:
      break;
    case SaveRefusal::kUnchecked:
      ThrowTableError("cannot save " + name + ": check table file: " + fs::Describe(check.outcome));
    case SaveRefusal::kFolder:
      ThrowTableError("cannot save " + name + ": a folder");
    case SaveRefusal::kReadOnly:
      ThrowTableError("cannot save " + name + ": read-only");
  }
  const fs::Attributes& old = check.attributes;

  if (old.exists && where.links > 1) {
    // A rename would give this name a new file and leave the other names
    // with the old bytes.
    SaveInPlace(path, bytes, name + " has " + std::to_string(where.links) + " names");
    return;
  }
  // Nothing after the replace may allocate: once the new bytes are in place,
  // a failure could only report a save that happened as one that did not.
  const std::string folder = fs::FolderOf(path);
  const std::string temp = TempPathOf(path);
  if (auto held = ClearTemp(temp)) ThrowTableError("cannot save " + name + ": " + held->Text());
  Step failure = WriteTemp(temp, bytes, path, old);
  if (!failure) failure = ReplaceWithRetries(temp, path);
  if (!failure) {
    // The new content is in place; a folder that will not sync loses nothing
    // that a failure here could give back.
    ops.sync_folder(folder);
    return;
  }
  fs::Checked(ops.remove(temp));
  if (!old.exists || failure->final)
    ThrowTableError("cannot save " + name + ": " + failure->Text());
  SaveInPlace(path, bytes, failure->Text());
}

}  // namespace sbrep
