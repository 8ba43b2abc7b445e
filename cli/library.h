// The deployed library as a host meets it: loaded from a file, its one
// entry point called, and its version resource read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace sbrep::cli {

// A loaded library, unloaded when the object dies.
class HostLibrary {
 public:
  // Nothing, and the reason in `why`, when the file will not load or has no
  // SetSBRepData.
  static std::unique_ptr<HostLibrary> Load(const std::string& path, std::string* why);
  virtual ~HostLibrary() = default;

  // SetSBRepData with the bytes a host passes and its buffer.
  virtual std::int32_t Call(const char* xml_path, std::int32_t kind, char* message) = 0;
};

// The texts of a version resource, as a file's properties show them.
struct VersionResource {
  std::string file_version;
  std::string product_version;
  std::string description;
};

// Nothing when the file has no version resource (or the platform no reader).
std::optional<VersionResource> ReadVersionResource(const std::string& path);

}  // namespace sbrep::cli
