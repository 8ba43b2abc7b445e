// The caller's XML path, as the host hands it over, decoded to UTF-8.
#pragma once

#include <string>

namespace sbrep {

// Windows decodes from the system's ANSI code page; POSIX keeps the bytes.
// A null pointer is empty text.
std::string DecodeCallerPath(const char* path);

}  // namespace sbrep
