// What the benchmarks read off their own process: its memory, what it holds
// now and the most it has held (on Windows the larger of private commit,
// what the 32-bit address space runs out of, and the working set; resident
// memory elsewhere), and the processor time it has used, which a machine
// busy with other work disturbs less than the clock on the wall.
#pragma once

#include <cstdint>

namespace sbrep::bench {

struct Memory {
  std::uint64_t now = 0;   // bytes
  std::uint64_t peak = 0;  // bytes; 0 when the system cannot tell
};

Memory ProcessMemory();

// Seconds of processor time, user and system, since the process started.
double ProcessorSeconds();

}  // namespace sbrep::bench
