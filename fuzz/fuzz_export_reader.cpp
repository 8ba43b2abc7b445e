// Fuzzes the way an export is read: the prolog guard, the transcoder, the
// parser, the child model and the three kinds' readers on top of them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "fuzz/memory_export.h"
#include "transfer/table_kinds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const sbrep::fuzz::MemoryExport source(std::string(reinterpret_cast<const char*>(data), size));
  for (const sbrep::KindEntry& kind : sbrep::kTableKinds) {
    try {
      (void)kind.read(kind, sbrep::fuzz::MemoryExport::kPath, {});
    } catch (const sbrep::Error& error) {
      // Refused or malformed input is an answer, not a fault; memory never
      // runs out on these inputs, and the file never fails to read.
      if (error.fault() != sbrep::Fault::kExport) __builtin_trap();
    }
  }
  return 0;
}
