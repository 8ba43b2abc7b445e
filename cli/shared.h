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

// Refuses a --client DIR that cannot be an install folder: empty text, or
// the Dexlan or ICDAT folder below one (a common slip). Throws UsageError
// that says which folder to give.
void CheckClientFolder(const std::string& folder);

// `folder` and `name` with the separator the folder uses.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace sbrep::cli
