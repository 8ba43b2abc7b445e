// What the commands share: how a message and a table's lines are shown,
// the check that a table file could be saved, and the check of --client.
#pragma once

#include <optional>
#include <string>

#include "core/messages.h"

namespace sbrep::cli {

// GBK bytes as UTF-8; bytes that are not GBK show as \xNN.
std::string Printable(const std::string& gbk);

// The message a host would get, with its gloss: "XML文件解析出错! (the XML
// file could not be parsed)".
std::string ShownMessage(Message message);

// Bytes as lower-case hexadecimal digits, `separator` between bytes.
std::string HexBytes(const std::string& bytes, const std::string& separator = "");

// Opens the table file for writing, sharing it as the client does, and
// closes it: no byte changes. Why a save would fail there, or nothing.
std::optional<std::string> ProbeWritable(const std::string& path);

// Creates `name` in `folder` and removes it again, as a save creates its
// temp file: why the folder takes no new file, or nothing. A file already
// of that name is left alone and counts as taken.
std::optional<std::string> ProbeNewFile(const std::string& folder, const std::string& name);

// Whether a backup could be written into `folder`, without making it: the
// nearest folder of it that exists must take a new file, and no file may
// stand where a folder of it goes. Why not, or nothing.
std::optional<std::string> ProbeBackupFolder(const std::string& folder);

// Refuses a --client DIR that cannot be an install folder: empty text, or
// the Dexlan or ICDAT folder below one (a common slip). Throws UsageError
// that says which folder to give.
void CheckClientFolder(const std::string& folder);

// `folder` and `name` with the separator the folder uses.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace sbrep::cli
