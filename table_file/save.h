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

// Crash-safe: a failure at any step leaves the file as it was. Throws an
// Error (Fault::kTable) that names the file and the step.
void SaveTableLines(const TableLines& lines, const std::string& path);

}  // namespace sbrep
