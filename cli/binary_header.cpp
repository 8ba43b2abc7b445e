#include "cli/binary_header.h"

#include <cstdint>
#include <cstdio>

#include "platform/filesystem.h"

namespace sbrep::cli {
namespace {

// The header of a PE file lies at the offset in bytes 60 to 63, which may be
// anywhere in the first few kilobytes.
constexpr std::size_t kHeaderBytes = 4096;

std::uint32_t Little(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, static_cast<unsigned>(value));
  return text;
}

struct MachineName {
  std::uint32_t code;
  const char* name;
};

constexpr MachineName kPeMachines[] = {
    {0x014c, "x86"}, {0x8664, "x64"}, {0xaa64, "arm64"}, {0x01c4, "arm"}};
constexpr MachineName kElfMachines[] = {{3, "x86"}, {62, "x86-64"}, {40, "arm"}, {183, "arm64"}};

template <std::size_t N>
const char* NameOf(const MachineName (&names)[N], std::uint32_t code) {
  for (const MachineName& machine : names) {
    if (machine.code == code) return machine.name;
  }
  return "unknown";
}

std::string PeMachine(std::uint32_t machine) {
  return std::string(NameOf(kPeMachines, machine)) + " (PE machine " + Hex(machine, 4) + ")";
}

std::string ElfMachine(std::uint32_t machine) {
  return std::string(NameOf(kElfMachines, machine)) + " (ELF machine " + std::to_string(machine) +
         ")";
}

}  // namespace

std::string MachineOf(std::string_view header) {
  if (header.size() >= 64 && header[0] == 'M' && header[1] == 'Z') {
    const std::uint32_t pe = Little(header, 60, 4);
    if (pe <= header.size() - 6 && header.substr(pe, 4) == std::string_view("PE\0\0", 4)) {
      return PeMachine(Little(header, pe + 4, 2));
    }
    return {};
  }
  if (header.size() >= 20 && header.substr(0, 4) ==
                                 "\x7f"
                                 "ELF") {
    // e_machine follows the 16 bytes of e_ident and the two of e_type; the
    // fifth byte of e_ident says whether the file is little-endian.
    if (header[5] == 1) return ElfMachine(Little(header, 18, 2));
    return ElfMachine((static_cast<unsigned char>(header[18]) << 8) |
                      static_cast<unsigned char>(header[19]));
  }
  return {};
}

std::string ReadHeader(const std::string& path) {
  fs::File file;
  if (!file.Open(path, fs::OpenMode::kRead).ok()) return {};
  std::string bytes(kHeaderBytes, '\0');
  std::size_t got = 0;
  if (!fs::FileSystem().read(file.handle(), bytes.data(), bytes.size(), &got).ok()) return {};
  bytes.resize(got);
  return bytes;
}

std::string ArchitectureOf(const std::string& machine) {
  return machine.substr(0, machine.find(' '));
}

}  // namespace sbrep::cli
