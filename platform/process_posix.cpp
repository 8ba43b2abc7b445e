#include <limits.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "platform/process.h"

namespace sbrep::process {

std::optional<std::string> Environment(const char* name) {
  const char* value = ::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

unsigned long Id() { return static_cast<unsigned long>(::getpid()); }

std::string ProgramPath() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

std::optional<StatePlace> UserStatePlace() {
  // A relative XDG_STATE_HOME is invalid and to be ignored.
  // It is made when missing, as the base directory rules ask; the folder
  // above it is the profile.
  if (auto state = Environment("XDG_STATE_HOME"); state && (*state)[0] == '/') {
    while (state->size() > 1 && state->back() == '/') state->pop_back();
    const std::size_t cut = state->rfind('/');
    if (cut == 0) return StatePlace{"/", state->substr(1) + "/sbrep"};
    return StatePlace{state->substr(0, cut), state->substr(cut + 1) + "/sbrep"};
  }
  if (const auto home = Environment("HOME")) return StatePlace{*home, ".local/state/sbrep"};
  return std::nullopt;
}

std::string LocalTimeNow() {
  timeval now = {};
  ::gettimeofday(&now, nullptr);
  tm local = {};
  ::localtime_r(&now.tv_sec, &local);
  const long offset = local.tm_gmtoff / 60;
  const long magnitude = offset < 0 ? -offset : offset;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(now.tv_usec / 1000), offset < 0 ? '-' : '+',
                magnitude / 60, magnitude % 60);
  return text;
}

}  // namespace sbrep::process
