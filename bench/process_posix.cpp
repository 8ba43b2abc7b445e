#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "bench/process.h"

namespace sbrep::bench {

Memory ProcessMemory() {
  Memory memory;
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) == 0) {
    memory.peak = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
  }
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    unsigned long pages = 0;
    unsigned long resident = 0;
    if (std::fscanf(statm, "%lu %lu", &pages, &resident) == 2) {
      memory.now =
          static_cast<std::uint64_t>(resident) * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    }
    std::fclose(statm);
  }
  return memory;
}

double ProcessorSeconds() {
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace sbrep::bench
