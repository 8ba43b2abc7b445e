// Fuzzes the one-pass reader against the whole-document reader it replaced,
// on the same parser: any input must give both the same result, message,
// detail and table, bar what the comparison allows for. Each 8-bit input is
// read a second time declared in one of the other encodings, picked by its
// length, so that every encoding meets arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/memory_export.h"
#include "oracle/compare.h"
#include "xml/encodings.h"

namespace {

void Compare(std::string bytes) {
  static const sbrep::TableLines kOld =
      sbrep::SplitTableLines(std::string(30, 'L') + "\n" + std::string(100, '\n'));
  const sbrep::fuzz::MemoryExport source(std::move(bytes));
  for (const sbrep::KindEntry& kind : sbrep::kTableKinds) {
    const sbrep::oracle::Verdict verdict = sbrep::oracle::Compare(
        kind, sbrep::fuzz::MemoryExport::kPath, kOld, sbrep::oracle::Oracle::kSameParser, true);
    if (!verdict.same) {
      std::fprintf(stderr, "%s: %s\n", std::string(kind.title).c_str(), verdict.why.c_str());
      __builtin_trap();
    }
  }
}

// The input with its XML declaration, if any, replaced by one naming another
// encoding; nothing for an input that starts with a mark or 16-bit units.
std::string Redeclared(const std::string& input) {
  static const std::vector<sbrep::EncodingEntry> kEncodings = sbrep::KnownEncodings();
  if (input.empty() || static_cast<unsigned char>(input[0]) >= 0x80 ||
      (input.size() > 1 && (input[0] == '\0' || input[1] == '\0'))) {
    return {};
  }
  const sbrep::EncodingEntry& entry = kEncodings[input.size() % kEncodings.size()];
  if (entry.form == sbrep::Form::kUtf16) return {};
  std::size_t body = 0;
  if (input.compare(0, 5, "<?xml") == 0) {
    const std::size_t end = input.find("?>");
    if (end != std::string::npos) body = end + 2;
  }
  return "<?xml version=\"1.0\" encoding=\"" + std::string(entry.name) + "\"?>" +
         input.substr(body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Compare(input);
  const std::string redeclared = Redeclared(input);
  if (!redeclared.empty()) Compare(redeclared);
  return 0;
}
