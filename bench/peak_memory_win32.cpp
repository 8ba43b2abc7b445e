#include <windows.h>

#include <psapi.h>

#include "bench/peak_memory.h"

namespace sbrep::bench {

std::uint64_t PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

}  // namespace sbrep::bench
