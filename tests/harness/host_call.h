// A host's call of SetSBRepData, with a buffer that shows every byte the call
// wrote. Inline, so that each test program calls the SetSBRepData it links:
// the DLL's, or the library's own objects.
#pragma once

#include <algorithm>
#include <string>

#include "include/sbrep.h"

namespace sbrep::test {

struct CallResult {
  int result = 0;
  std::string buffer;  // all 64 bytes
  // The bytes before the first NUL.
  std::string message() const { return buffer.substr(0, buffer.find('\0')); }
  // Every byte still 0xCC.
  bool untouched() const {
    return std::all_of(buffer.begin(), buffer.end(), [](char c) { return c == '\xCC'; });
  }
};

using SetSBRepDataFn = int32_t(SBREP_CALL*)(const char*, int32_t, char*);

// Calls `entry` with `path` as the bytes a host passes, and a 64-byte buffer
// pre-filled with 0xCC.
inline CallResult HostCallThrough(SetSBRepDataFn entry, const std::string& path, int kind) {
  CallResult call;
  call.buffer.assign(64, '\xCC');
  call.result = entry(path.c_str(), kind, call.buffer.data());
  return call;
}

inline CallResult HostCall(const std::string& path, int kind) {
  return HostCallThrough(&SetSBRepData, path, kind);
}

}  // namespace sbrep::test
