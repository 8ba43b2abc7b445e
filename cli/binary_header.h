// The machine a program or library file is built for, read from its header
// (PE on Windows, ELF elsewhere), so that a 32-bit DLL beside a 64-bit tool
// is named as such.
#pragma once

#include <string>
#include <string_view>

namespace sbrep::cli {

// "x86 (PE machine 014c)", "x64 (PE machine 8664)", "x86-64 (ELF machine
// 62)"; empty when the bytes are neither PE nor ELF.
std::string MachineOf(std::string_view header);

// The first bytes of a file that MachineOf needs; empty when it cannot be read.
std::string ReadHeader(const std::string& path);

// "x86", "x64" and so on: the first word of MachineOf.
std::string ArchitectureOf(const std::string& machine);

}  // namespace sbrep::cli
