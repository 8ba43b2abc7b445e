// Holds the one-pass reader to the whole-document reader on one export: the
// same result, the same message, the same detail and the same table bytes,
// bar what a reader of the whole document cannot share with one that reads
// it once (see Compare).
#pragma once

#include <string>

#include "table_file/table_lines.h"
#include "transfer/table_kinds.h"

namespace sbrep::oracle {

struct Verdict {
  bool same = true;
  std::string why;    // what differed, for the failure message
  bool read = false;  // the one-pass reader read the export
};

// Which parser the oracle runs on. libxml2's tree is the same parser as the
// one-pass reader's, so the two must agree on what is well-formed; MSXML is
// the platform's own, whose reasons never match, and what it refused may now
// be read, but what it read must still be read the same. (Of a GBK export,
// MSXML under Wine misreads text, so there only what it read is held to:
// it must still be read.)
enum class Oracle { kSameParser, kPlatformParser };

// The oracle of this build: libxml2 natively, MSXML on Windows.
Oracle BuildOracle();

// Reads the export at `path` both ways, builds the table from `old_lines`
// with each result, and compares. `bad_bytes` says the export may hold bytes
// not valid in its encoding, NUL bytes, or name an encoding no longer read:
// the whole-document reader read some of those as substitutes or stopped at
// a NUL as if the file ended there, and the one-pass reader refuses them by
// design, as not well-formed.
Verdict Compare(const KindEntry& kind, const std::string& path, const TableLines& old_lines,
                Oracle oracle, bool bad_bytes = false);

}  // namespace sbrep::oracle
