#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "harness/library.h"

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's own count: its allocator stands in for malloc's.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace sbrep::test {

Library::Library() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return;
  std::string path(self, static_cast<std::size_t>(n));
  path = path.substr(0, path.rfind('/') + 1) + "libsbrep.so";
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ != nullptr) {
    entry_ = reinterpret_cast<SetSBRepDataFn>(::dlsym(handle_, "SetSBRepData"));
  }
}

Library::~Library() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

Usage ProcessUsage() {
  Usage usage;
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    while (::readdir(fds) != nullptr) ++usage.handles;
    ::closedir(fds);
  }
#if defined(__SANITIZE_ADDRESS__)
  usage.memory = static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  usage.memory = static_cast<std::int64_t>(mallinfo2().uordblks);
#endif
  return usage;
}

}  // namespace sbrep::test
