// POSIX has no sharing modes: the handle is held, but forbids nothing.
#include <fcntl.h>
#include <unistd.h>

#include "harness/hold_open.h"

namespace sbrep::test {

HoldOpen::HoldOpen(const std::string& path, Sharing) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ok_ = fd >= 0;
  handle_ = fd;
}

HoldOpen::~HoldOpen() {
  if (ok_) ::close(static_cast<int>(handle_));
}

bool HoldOpen::Enforced() { return false; }

std::uint32_t DistinctAttributes() { return 0640; }

}  // namespace sbrep::test
