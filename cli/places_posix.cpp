#include <limits.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "cli/places.h"
#include "platform/process.h"

namespace sbrep::cli {

std::string ProgramPath() { return process::ProgramPath(); }

const char* LibraryFileName() { return "libsbrep.so"; }

std::optional<std::string> DefaultBackupFolder() {
  const char* state = ::getenv("XDG_STATE_HOME");
  // A relative value is invalid and to be ignored.
  if (state != nullptr && state[0] == '/') return std::string(state) + "/sbrep/backups";
  const char* home = ::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    return std::string(home) + "/.local/state/sbrep/backups";
  }
  return std::nullopt;
}

std::string LocalTimeStamp() {
  timeval now = {};
  ::gettimeofday(&now, nullptr);
  tm local = {};
  ::localtime_r(&now.tv_sec, &local);
  char text[96];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(now.tv_usec / 1000));
  return text;
}

}  // namespace sbrep::cli
