// The registry seam: one string value below HKEY_LOCAL_MACHINE, read only,
// and the user's own DWORD values below HKEY_CURRENT_USER.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sbrep::registry {

// The value `name` of the key `key` (below HKEY_LOCAL_MACHINE) as UTF-8, when
// it exists and is a string. Nothing otherwise; never fails.
std::optional<std::string> ReadMachineString(const std::string& key, const std::string& name);

// The DWORD `name` of `key` below HKEY_CURRENT_USER; nothing when it is
// missing or of another type. Never fails.
std::optional<std::uint32_t> ReadUserDword(const std::string& key, const std::string& name);

// Sets the DWORD `name` of `key` below HKEY_CURRENT_USER, creating the key;
// false when it cannot be written.
bool WriteUserDword(const std::string& key, const std::string& name, std::uint32_t value);

}  // namespace sbrep::registry
