#include <windows.h>

#include <psapi.h>

#include <algorithm>

#include "bench/process.h"

namespace sbrep::bench {

Memory ProcessMemory() {
  Memory memory;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    // Private commit where the system counts it; Wine fills that field with
    // the swap in use, so the working set stands in wherever it is larger.
    memory.now = std::max<std::uint64_t>(counters.PagefileUsage, counters.WorkingSetSize);
    memory.peak = std::max<std::uint64_t>(counters.PeakPagefileUsage, counters.PeakWorkingSetSize);
  }
  return memory;
}

double ProcessorSeconds() {
  FILETIME created;
  FILETIME exited;
  FILETIME kernel;
  FILETIME user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const auto seconds = [](const FILETIME& t) {
    const ULONGLONG ticks = (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<double>(ticks) / 1e7;  // 100 ns ticks
  };
  return seconds(kernel) + seconds(user);
}

}  // namespace sbrep::bench
