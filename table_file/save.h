// The crash-safe save of a table file, and the check that comes before any
// byte of it is written.
#pragma once

#include <string>

#include "platform/filesystem.h"
#include "table_file/table_lines.h"

namespace sbrep {

// What stops a save before it starts.
enum class SaveRefusal {
  kNone,
  kUnchecked,  // the file's attributes cannot be read
  kFolder,
  kReadOnly,  // the read-only attribute is the user's to lift
};

struct SaveCheck {
  SaveRefusal refusal = SaveRefusal::kNone;
  fs::Outcome outcome;        // why the file could not be checked
  fs::Attributes attributes;  // what the check found
};

// Whether a save may go over `path`. A file that does not exist may.
SaveCheck CheckSavable(const std::string& path);

// Whether the folder of the table at `table_path` lets a save create its
// temp file; where it does not, a save rewrites the table in place with no
// journal, which a process that dies in the middle can leave torn. Creates
// the temp file's name and removes it again; true when it cannot tell.
bool FolderTakesNewFiles(const std::string& table_path);

// The file a save of `path` rewrites: a symbolic link is followed, so that
// the link stays and its target gets the new bytes. A path that cannot be
// followed stands for itself.
fs::Location LocateTable(const std::string& path);

// Crash-safe: a failure at any step leaves the file as it was, and a process
// that dies in the middle leaves the old or the new bytes, or a journal that
// LockTable rolls back. The file keeps its owner, access rights, attributes
// and hard links. Throws an Error (Fault::kTable) that names the file and
// the step; a table of more than kMaxTableBytes is refused before anything is
// written, since it could not be read back.
void SaveTableLines(const TableLines& lines, const std::string& path);

}  // namespace sbrep
