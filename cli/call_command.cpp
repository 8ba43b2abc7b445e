// sbrep call and sbrep --version: the deployed library as a host meets it,
// not the copy of the library linked into the tool.
#include <cstdint>
#include <cstring>
#include <string>

#include "cli/binary_header.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/library.h"
#include "cli/paths.h"
#include "cli/places.h"
#include "cli/refusal.h"
#include "cli/shown_text.h"
#include "core/messages.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"

namespace sbrep::cli {
namespace {

// Larger than any message, so that an overrun would show; filled with 0xCC
// so that untouched bytes show.
constexpr std::size_t kBufferSize = 64;

// The fixed message whose bytes these are, if any.
std::optional<Message> MessageOf(const std::string& bytes) {
  for (int m = static_cast<int>(Message::kNotInstalled);
       m <= static_cast<int>(Message::kProcessingFailed); ++m) {
    if (MessageBytes(static_cast<Message>(m)) == bytes) return static_cast<Message>(m);
  }
  return std::nullopt;
}

// "1.0.0 (file), 1.0.0 (product)" and the description, as its properties show.
void DescribeLibrary(const std::string& path, Console& console) {
  const std::string machine = MachineOf(ReadHeader(path));
  const auto resource = ReadVersionResource(path);
  if (resource) {
    console.out << "  version: " << (resource->file_version.empty() ? "-" : resource->file_version)
                << " (file), "
                << (resource->product_version.empty() ? "-" : resource->product_version)
                << " (product)\n";
    if (!resource->description.empty()) {
      console.out << "  description: " << resource->description << "\n";
    }
  } else {
    console.out << "  version: no version resource found\n";
  }
  console.out << "  built for: " << (machine.empty() ? "unknown" : machine) << "\n";
}

}  // namespace

int RunVersion(const Arguments& args, Console& console) {
  const std::string own = MachineOf(ReadHeader(ProgramPath()));
  console.out << "sbrep " SBREP_VERSION;
  if (!own.empty()) console.out << ", " << ArchitectureOf(own);
  console.out << "\n";
  const std::string library = LibraryPath(args);
  const std::string which =
      args.dll ? std::string("library") : "the " + std::string(LibraryFileName()) + " beside it";
  if (!fs::IsFile(library)) {
    console.out << which << ": none found at " << library << "\n" << std::flush;
    return kExitReady;
  }
  console.out << which << ": " << library << "\n";
  DescribeLibrary(library, console);
  console.out << std::flush;
  return kExitReady;
}

int RunCall(const Arguments& args, Console& console) {
  const std::string library = LibraryPath(args);
  const auto host_path = Utf8ToAnsi(args.export_path);
  if (!host_path) {
    throw Refusal(kExitInstall, "the ANSI code page cannot hold the path '" + args.export_path +
                                    "', so a host could not pass it");
  }
  std::string why;
  const auto loaded = HostLibrary::Load(library, &why);
  if (!loaded) {
    const std::string theirs = MachineOf(ReadHeader(library));
    const std::string ours = MachineOf(ReadHeader(ProgramPath()));
    std::string detail;
    if (!theirs.empty() && !ours.empty() && ArchitectureOf(theirs) != ArchitectureOf(ours)) {
      detail = "the library is built for " + ArchitectureOf(theirs) + " and this sbrep for " +
               ArchitectureOf(ours) + "; use the sbrep built with it";
    }
    throw Refusal(kExitInstall, "cannot load " + library + ": " + why, detail);
  }
  console.out << "library: " << library << "\n";
  DescribeLibrary(library, console);
  console.out << "call: SetSBRepData(\"" << args.export_path << "\", "
              << static_cast<int>(args.kind->kind) << ", buffer of " << kBufferSize << " bytes)\n"
              << std::flush;

  // The library's own save is out of the tool's reach: it cannot be held.
  SetInterruptText("sbrep: interrupted while the library's SetSBRepData ran; " +
                   std::string(args.kind->file_name) + " may or may not have been saved\n");
  std::string buffer(kBufferSize, '\xCC');
  const std::int32_t result =
      loaded->Call(host_path->c_str(), static_cast<std::int32_t>(args.kind->kind), buffer.data());
  console.out << "result: " << result << "\n";
  const auto nul = buffer.find('\0');
  const bool untouched = buffer == std::string(kBufferSize, '\xCC');
  if (untouched) {
    console.out << "message buffer: untouched\n";
  } else if (nul == std::string::npos) {
    console.out << "message buffer: written, with no NUL in its " << kBufferSize << " bytes\n";
  } else {
    const std::string bytes = buffer.substr(0, nul);
    console.out << "message bytes: " << HexBytes(bytes, " ") << " (" << bytes.size()
                << " bytes, then a NUL)\n";
    const auto message = MessageOf(bytes);
    console.out << "message: " << Printable(bytes);
    if (message) console.out << " (" << MessageGloss(*message) << ")";
    console.out << "\n";
  }
  console.out << std::flush;
  return result == 0 ? kExitReady : kExitFailed;
}

}  // namespace sbrep::cli
