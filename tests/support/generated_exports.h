// Exports made up at random near the edges of what the readers take, for the
// differential test: blank text, CDATA, comments and PIs between children,
// prefixes, references, missing, empty and surplus parts, items and fields,
// bad numbers, values the table cannot hold, each encoding, and now and then
// bytes that are not valid in it.
#pragma once

#include <cstdint>
#include <string>

namespace sbrep::test {

struct GeneratedExport {
  std::string bytes;
  std::string shape;  // what was made, for a failure message
};

// The same seed makes the same export on every build.
GeneratedExport GenerateExport(std::uint32_t seed);

}  // namespace sbrep::test
