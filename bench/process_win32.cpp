#include <windows.h>

#include <psapi.h>

#include "bench/process.h"

namespace sbrep::bench {

Memory ProcessMemory() {
  Memory memory;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    memory.now = counters.PagefileUsage;
    memory.peak = counters.PeakPagefileUsage;
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
