// What a check warns of without failing: an export that would file without
// an error but into the wrong rows, as values the client misreads, or into
// another company's or another period's table.
#pragma once

#include <string>
#include <vector>

#include "transfer/transfer.h"

namespace sbrep::cli {

// The warnings for a prepared transfer, each one line.
std::vector<std::string> Warnings(const PreparedTable& p);

}  // namespace sbrep::cli
