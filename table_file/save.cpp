// The crash-safe save of a table file: a temp file in the same folder that
// replaces the table in one step, and, where the client's own handle or the
// folder's permissions forbid that, a verified rewrite in place that puts the
// old bytes back when any step fails.
#include "table_file/save.h"

#include <optional>

#include "core/error.h"

namespace sbrep {
namespace {

// About one second in all: long enough for a scanner or indexer to let go.
constexpr unsigned kRetryDelaysMs[] = {50, 100, 150, 200, 250, 250};

// Reading back more than the table should hold means the write went wrong.
constexpr std::uint64_t kReadLimit = 1u << 30;

struct StepFailure {
  std::string step;
  fs::Outcome outcome;
  std::string note;  // what else went wrong on the way out
  std::string Text() const { return step + ": " + fs::Describe(outcome) + note; }
};

using Step = std::optional<StepFailure>;

Step Failed(const char* step, const fs::Outcome& outcome) {
  if (outcome.ok()) return std::nullopt;
  return StepFailure{step, outcome, ""};
}

bool MayPass(const fs::Outcome& outcome) {
  return outcome.status == fs::Status::kSharingViolation ||
         outcome.status == fs::Status::kAccessDenied;
}

Step WriteTemp(const std::string& temp, const std::string& bytes, const fs::Attributes& old) {
  fs::Ops& ops = fs::FileSystem();
  {
    fs::File file;
    if (auto failure =
            Failed("create temp file", file.Open(temp, fs::OpenMode::kCreateOrTruncate))) {
      return failure;
    }
    if (auto failure = Failed("write temp file", file.WriteAll(bytes))) return failure;
    if (auto failure = Failed("flush temp file", ops.flush(file.handle()))) return failure;
    if (auto failure = Failed("close temp file", file.Close())) return failure;
  }
  if (old.exists) {
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

// Writes `bytes` over the file from offset 0 and truncates it.
Step Overwrite(fs::File& file, const std::string& bytes, const char* write_step,
               const char* truncate_step, const char* flush_step) {
  fs::Ops& ops = fs::FileSystem();
  if (auto failure = Failed(write_step, ops.seek(file.handle(), 0))) return failure;
  if (auto failure = Failed(write_step, file.WriteAll(bytes))) return failure;
  if (auto failure = Failed(truncate_step, ops.truncate(file.handle(), bytes.size()))) {
    return failure;
  }
  return Failed(flush_step, ops.flush(file.handle()));
}

// Rewrites the table through a handle that shares read and write, as the
// client's own handle does.
Step RewriteInPlace(const std::string& path, const std::string& bytes) {
  fs::Ops& ops = fs::FileSystem();
  fs::File file;
  if (auto failure =
          Failed("open table file for writing", file.Open(path, fs::OpenMode::kReadWrite))) {
    return failure;
  }
  std::string old_bytes;
  if (auto failure = Failed("read table file", file.ReadAll(&old_bytes, kReadLimit))) {
    return failure;
  }
  Step failure =
      Overwrite(file, bytes, "write table file", "truncate table file", "flush table file");
  if (!failure) {
    std::string check;
    failure = Failed("read back table file", ops.seek(file.handle(), 0));
    if (!failure) failure = Failed("read back table file", file.ReadAll(&check, kReadLimit));
    if (!failure && check != bytes) {
      failure = StepFailure{"verify table file", {fs::Status::kOther, 0}, ""};
    }
  }
  if (failure) {
    if (auto restore = Overwrite(file, old_bytes, "restore table file", "restore table file",
                                 "restore table file")) {
      failure->note = "; " + restore->Text() + ", the file may be damaged";
    }
  }
  return failure;
}

}  // namespace

SaveCheck CheckSavable(const std::string& path) {
  SaveCheck check;
  check.outcome = fs::FileSystem().stat(path, &check.attributes);
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

void SaveTableLines(const TableLines& lines, const std::string& path) {
  fs::Ops& ops = fs::FileSystem();
  const std::string name = fs::NameOf(path);
  const std::string bytes = JoinTableLines(lines);

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

  // One fixed name per table, so that a crash leftover is simply replaced.
  // Nothing after the replace may allocate: once the new bytes are in place,
  // a failure could only report a save that happened as one that did not.
  const std::string folder = fs::FolderOf(path);
  const std::string temp = folder + "~" + name + ".sbrep-tmp";
  ops.remove(temp);
  Step failure = WriteTemp(temp, bytes, old);
  if (!failure) failure = ReplaceWithRetries(temp, path);
  if (!failure) {
    // The new content is in place; a folder that will not sync loses nothing
    // that a failure here could give back.
    try {
      ops.sync_folder(folder);
    } catch (...) {
    }
    return;
  }
  ops.remove(temp);

  if (!old.exists) ThrowTableError("cannot save " + name + ": " + failure->Text());
  if (auto in_place = RewriteInPlace(path, bytes)) {
    ThrowTableError("cannot save " + name + ": " + failure->Text() + "; " + in_place->Text());
  }
}

}  // namespace sbrep
