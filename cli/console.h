// What the tool needs from the platform: its arguments and the terminal.
#pragma once

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

}  // namespace sbrep::cli
