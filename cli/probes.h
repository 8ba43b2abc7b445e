// What a transfer or a restore would meet at the save, found out before it
// is tried and without changing a byte: a table that cannot be written, and
// a backup folder that cannot be made.
#pragma once

#include <string>

namespace sbrep::cli {

// Opens the table file for writing, sharing it as the client does, and
// closes it. Throws a Refusal (kExitTable, "the table file is at fault")
// with why a save would fail there.
void ProbeWritable(const std::string& path);

// Whether a backup could be written into `folder`, without making it: the
// nearest folder of it that exists must take a new file, and no file may
// stand where a folder of it goes. Throws a Refusal (kExitMachine) with why
// not.
void ProbeBackupFolder(const std::string& folder);

}  // namespace sbrep::cli
