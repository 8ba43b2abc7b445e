// The XML stage as the library ran it before its one-pass reader: the whole
// export parsed into a tree (libxml2 natively, MSXML under Windows) and
// walked. The differential test holds the one-pass reader to its results.
#pragma once

#include <string>

#include "transfer/table_kinds.h"
#include "transfer/values.h"

namespace sbrep::oracle {

// The values of the export at `path` for `kind`; throws an Error as the
// one-pass reader does.
Values ReadWhole(const KindEntry& kind, const std::string& path);

}  // namespace sbrep::oracle
