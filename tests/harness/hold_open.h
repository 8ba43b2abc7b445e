// Holds a file open with a chosen sharing mode, as the filing client may hold
// its table file while a save runs.
#pragma once

#include <cstdint>
#include <string>

namespace sbrep::test {

enum class Sharing {
  kNone,       // no other handle may read, write or delete
  kReadWrite,  // others may read and write, but not delete or rename
};

class HoldOpen {
 public:
  HoldOpen(const std::string& path, Sharing sharing);
  ~HoldOpen();
  HoldOpen(const HoldOpen&) = delete;
  HoldOpen& operator=(const HoldOpen&) = delete;
  bool ok() const { return ok_; }

  // Whether the platform enforces sharing modes at all.
  static bool Enforced();

 private:
  std::intptr_t handle_ = 0;
  bool ok_ = false;
};

// Native attributes (Windows) or mode bits (POSIX) that differ from those of
// a freshly created file, for checking that a save carries them over.
std::uint32_t DistinctAttributes();

}  // namespace sbrep::test
