#include "cli/probes.h"

#include "cli/exit_status.h"
#include "cli/paths.h"
#include "cli/refusal.h"
#include "platform/filesystem.h"
#include "table_file/save.h"

namespace sbrep::cli {
namespace {

[[noreturn]] void RefuseTable(const std::string& why) {
  throw Refusal(kExitTable, "the table file is at fault", why);
}

[[noreturn]] void RefuseBackupFolder(const std::string& why) {
  throw Refusal(kExitMachine, "a transfer could not take its backup", why);
}

// Creates `name` in `folder` and removes it again, as a save creates its
// temp file. A file already of that name is left alone and counts as made.
fs::Outcome MakeNewFile(const std::string& folder, const std::string& name) {
  fs::Ops& ops = fs::FileSystem();
  const std::string path = JoinPath(folder, name);
  fs::Attributes found;
  if (ops.stat(path, &found).ok() && found.exists) return {};
  fs::Outcome outcome;
  {
    fs::File file;
    outcome = file.Open(path, fs::OpenMode::kCreateOrTruncate);
    if (outcome.ok()) outcome = file.Close();
  }
  ops.remove(path);
  return outcome;
}

}  // namespace

void ProbeWritable(const std::string& path) {
  const std::string name = fs::NameOf(path);
  const SaveCheck check = CheckSavable(path);
  switch (check.refusal) {
    case SaveRefusal::kNone:
      break;
    case SaveRefusal::kUnchecked:
      RefuseTable("cannot check " + name + ": " + fs::Describe(check.outcome));
    case SaveRefusal::kFolder:
      RefuseTable(name + " is a folder, a transfer could not save it");
    case SaveRefusal::kReadOnly:
      RefuseTable(name + " is read-only, a transfer could not save it");
  }
  if (!check.attributes.exists) return;
  fs::File file;
  const fs::Outcome opened = file.Open(path, fs::OpenMode::kReadWrite);
  if (!opened.ok()) {
    RefuseTable("cannot open " + name + " for writing: " + fs::Describe(opened) +
                ", a transfer could not save it");
  }
  const fs::Outcome closed = file.Close();
  if (!closed.ok()) RefuseTable("cannot close " + name + ": " + fs::Describe(closed));
}

void ProbeBackupFolder(const std::string& folder) {
  // Without a trailing separator, which would hide a file in the way.
  std::string existing = WithoutTrailingSeparators(folder);
  fs::Attributes found;
  while (fs::FileSystem().stat(existing, &found).ok() && !found.exists) {
    std::string parent = fs::FolderOf(existing);
    if (parent.size() > 1 && parent.back() != ':' && parent[parent.size() - 2] != ':') {
      parent = WithoutTrailingSeparators(parent);
    }
    if (parent.empty()) parent = ".";
    if (parent == existing) break;
    existing = parent;
  }
  if (!found.exists)
    RefuseBackupFolder("cannot make the backup folder " + folder + ": nothing of it exists");
  if (!found.directory) {
    RefuseBackupFolder("cannot make the backup folder " + folder + ": the file " + existing +
                       " is in the way");
  }
  const fs::Outcome made = MakeNewFile(existing, "~sbrep-probe");
  if (!made.ok()) {
    RefuseBackupFolder("cannot write the backup folder " + folder + ": cannot create a file in " +
                       existing + ": " + fs::Describe(made));
  }
}

}  // namespace sbrep::cli
