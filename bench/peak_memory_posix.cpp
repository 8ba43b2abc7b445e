#include <sys/resource.h>

#include "bench/peak_memory.h"

namespace sbrep::bench {

std::uint64_t PeakMemoryBytes() {
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

}  // namespace sbrep::bench
