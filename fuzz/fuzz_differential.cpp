// Fuzzes the one-pass reader against the whole-document reader it replaced,
// on the same parser: any input must give both the same result, message,
// detail and table, bar what the comparison allows for.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/memory_export.h"
#include "oracle/compare.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const sbrep::TableLines kOld =
      sbrep::SplitTableLines(std::string(30, 'L') + "\n" + std::string(100, '\n'));
  const sbrep::fuzz::MemoryExport source(std::string(reinterpret_cast<const char*>(data), size));
  for (const sbrep::KindEntry& kind : sbrep::kTableKinds) {
    const sbrep::oracle::Verdict verdict = sbrep::oracle::Compare(
        kind, sbrep::fuzz::MemoryExport::kPath, kOld, sbrep::oracle::Oracle::kSameParser, true);
    if (!verdict.same) {
      std::fprintf(stderr, "%s: %s\n", std::string(kind.title).c_str(), verdict.why.c_str());
      __builtin_trap();
    }
  }
  return 0;
}
