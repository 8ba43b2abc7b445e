// The process's peak resident memory, for the benchmarks.
#pragma once

#include <cstdint>

namespace sbrep::bench {

// Bytes; 0 when the system cannot tell.
std::uint64_t PeakMemoryBytes();

}  // namespace sbrep::bench
