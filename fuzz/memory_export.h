// Serves one export from memory through the file-system seam, so that a
// fuzz input reaches the readers without touching the disk.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/filesystem.h"

namespace sbrep::fuzz {

class MemoryExport {
 public:
  explicit MemoryExport(std::string bytes) : saved_(fs::FileSystem()) {
    Bytes() = std::move(bytes);
    At() = 0;
    fs::Ops& ops = fs::FileSystem();
    ops.stat = [](const std::string&, fs::Attributes* out) noexcept {
      *out = fs::Attributes();
      out->exists = true;
      out->size = Bytes().size();
      return fs::Outcome();
    };
    ops.open = [](const std::string&, fs::OpenMode, fs::Handle* out) noexcept {
      At() = 0;
      *out = 1;
      return fs::Outcome();
    };
    ops.read = [](fs::Handle, void* buffer, std::size_t size, std::size_t* got) noexcept {
      *got = std::min(size, Bytes().size() - At());
      std::memcpy(buffer, Bytes().data() + At(), *got);
      At() += *got;
      return fs::Outcome();
    };
    ops.close = [](fs::Handle) noexcept { return fs::Outcome(); };
  }
  ~MemoryExport() { fs::FileSystem() = saved_; }
  MemoryExport(const MemoryExport&) = delete;
  MemoryExport& operator=(const MemoryExport&) = delete;

  static constexpr const char* kPath = "fuzz.xml";

 private:
  static std::string& Bytes() {
    static std::string bytes;
    return bytes;
  }
  static std::size_t& At() {
    static std::size_t at = 0;
    return at;
  }
  fs::Ops saved_;
};

}  // namespace sbrep::fuzz
