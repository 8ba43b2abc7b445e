#include <limits.h>
#include <stdlib.h>
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

std::string UtcTimeStamp() {
  const time_t now = ::time(nullptr);
  tm utc = {};
  ::gmtime_r(&now, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

std::optional<std::string> ResolvedFolder(const std::string& folder) {
  std::string native = folder;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  char resolved[PATH_MAX];
  if (native.empty() || ::realpath(native.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

}  // namespace sbrep::cli
