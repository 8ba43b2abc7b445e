// The registry seam: one string value below HKEY_LOCAL_MACHINE, read only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sbrep::registry {

// True when the text holds nothing but characters of code 32 or less.
inline bool IsBlank(std::string_view text) {
  for (unsigned char c : text) {
    if (c > 32) return false;
  }
  return true;
}

// The value `name` of the key `key` (below HKEY_LOCAL_MACHINE) as UTF-8, when
// it exists and is a string. Nothing otherwise; never fails.
std::optional<std::string> ReadMachineString(const std::string& key, const std::string& name);

}  // namespace sbrep::registry
