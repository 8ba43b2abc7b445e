// How the tool shows what a person cannot read as it is: GBK bytes, the
// fixed messages a host gets, and raw bytes.
#pragma once

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

}  // namespace sbrep::cli
