// One pass over an export file in constant memory: its bytes read in chunks,
// the prolog guarded, the text transcoded to UTF-8 and parsed by libxml2's
// SAX2 push parser, and the parser's events turned into the children an
// export's readers count.
//
// The children of a node are its elements, and its runs of text and its
// CDATA sections that are not white space alone, in document order;
// comments and processing instructions are not. Element names carry their
// prefix.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/read_progress.h"

namespace sbrep {

enum class NodeType { kElement, kText, kCData };

// What a pass tells its reader, in document order. The root element has
// depth 0; the children of a node at depth d have depth d + 1.
class ExportHandler {
 public:
  virtual ~ExportHandler() = default;
  // A child begins: an element when it opens, a run of text or a CDATA
  // section when its first character that is not white space arrives.
  // `name` is empty for text and CDATA.
  virtual void OnChild(std::size_t depth, std::size_t position, NodeType type,
                       std::string_view name) = 0;
  // A piece of the data directly inside the element at `depth`: of a run of
  // text that is a child, or of any CDATA section. A run or section ends
  // with OnDataEnd.
  virtual void OnData(std::size_t depth, std::string_view data) = 0;
  virtual void OnDataEnd(std::size_t depth) = 0;
  // The element at `depth` closes.
  virtual void OnEnd(std::size_t depth) = 0;
  // Whether nothing later in the export can change the result; the pass
  // then stops reading.
  virtual bool Decided() const { return false; }
};

// Reads the export at `path` (UTF-8) through the file-system seam, sharing
// it for reading and writing; `progress` hears of each chunk read. Throws an Error: Fault::kExport
// when the export is not well-formed, is not valid in its encoding or names one that is not read;
// Fault::kMachine when the file cannot be read or memory runs out. Whatever the handler throws
// passes through.
void ReadExport(const std::string& path, ExportHandler& handler, const ReadProgress& progress = {});

// The parser stage alone, over UTF-8 that the guard and the transcoder have
// already passed, as ReadExport runs it; fails as ReadExport does. Tests hand
// it what those stages never let through.
void ParseUtf8(std::string_view utf8, ExportHandler& handler);

// "line L, column C: reason", the parser's reason without its trailing line
// break: how a detail names where an export is not well-formed.
std::string ParseErrorDetail(long line, long column, std::string reason);

}  // namespace sbrep
