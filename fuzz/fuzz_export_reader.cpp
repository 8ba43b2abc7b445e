// Fuzzes the way an export is read: the prolog guard, the parser and a walk
// over every node with the access layer's reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "xml/dom.h"
#include "xml/export_reader.h"
#include "xml/prolog.h"

namespace {

void Walk(const sbrep::ExportNode& node, int depth) {
  if (depth > 64) return;
  (void)sbrep::NodeName(node);
  (void)sbrep::ToGbk(sbrep::NodeText(node));
  (void)sbrep::FindChild(node, "SB_KPJK_FPXX");
  (void)sbrep::ChildText(node, "Amount");
  const std::size_t count = sbrep::ChildCount(node);
  if (sbrep::HasChildren(node) != (count > 0)) __builtin_trap();
  for (std::size_t i = 0; i < count; ++i) Walk(sbrep::ChildAt(node, i), depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    const std::size_t before = bytes.size();
    sbrep::NeutraliseProlog(bytes);
    // The guard works in place: positions in the document must not move.
    if (bytes.size() != before) __builtin_trap();
    sbrep::ExportDocument document(sbrep::dom::Parse(bytes, "fuzz"));
    Walk(sbrep::Root(document), 0);
    (void)sbrep::RootName(document);
    sbrep::CloseExport(document);
  } catch (const sbrep::Error&) {
    // Refused or malformed input is an answer, not a fault.
  }
  return 0;
}
