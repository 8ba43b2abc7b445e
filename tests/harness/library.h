// The product loaded at run time by its file name, as a host that loads it
// around each transfer does, and what the process holds while it runs.
#pragma once

#include <cstdint>

#include "harness/host_call.h"

namespace sbrep::test {

// sbrep.dll (libsbrep.so natively) beside the running program, loaded for
// the life of the object.
class Library {
 public:
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  // Null when the library or its entry point is missing.
  SetSBRepDataFn entry() const { return entry_; }

 private:
  void* handle_ = nullptr;
  SetSBRepDataFn entry_ = nullptr;
};

struct Usage {
  std::int64_t handles = 0;    // open handles, or file descriptors
  std::int64_t memory = 0;     // committed private bytes, or heap bytes in use
  std::int64_t tls_slots = 0;  // the lowest free TLS index (Windows)
};

Usage ProcessUsage();

}  // namespace sbrep::test
