// What the tool needs from the platform: its arguments, the terminal, and
// the bytes a host would pass for a path.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sbrep::cli {

// The arguments after the program's name, as UTF-8. Windows reads the wide
// command line, so that any path survives whatever the ANSI code page.
std::vector<std::string> CommandLine(int argc, char** argv);

enum class Stream { kOut, kError };

// Writes UTF-8 text: as it is on POSIX and to a redirected stream, through
// the wide console interface on a Windows console.
void WriteTerminal(Stream stream, std::string_view utf8);

// The bytes a host hands SetSBRepData for this path: the ANSI code page on
// Windows, the UTF-8 itself on POSIX. Nothing when the code page has no form
// for one of its characters.
std::optional<std::string> HostPathBytes(const std::string& utf8);

}  // namespace sbrep::cli
