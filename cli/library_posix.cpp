#include <dlfcn.h>

#include "cli/library.h"

namespace sbrep::cli {
namespace {

using Entry = std::int32_t (*)(const char*, std::int32_t, char*);

class SharedObject : public HostLibrary {
 public:
  SharedObject(void* handle, Entry entry) : handle_(handle), entry_(entry) {}
  ~SharedObject() override { ::dlclose(handle_); }
  SharedObject(const SharedObject&) = delete;
  SharedObject& operator=(const SharedObject&) = delete;

  std::int32_t Call(const char* xml_path, std::int32_t kind, char* message) override {
    return entry_(xml_path, kind, message);
  }

 private:
  void* handle_;
  Entry entry_;
};

}  // namespace

std::unique_ptr<HostLibrary> HostLibrary::Load(const std::string& path, std::string* why) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = ::dlerror();
    *why = error != nullptr ? error : "cannot be loaded";
    return nullptr;
  }
  void* symbol = ::dlsym(handle, "SetSBRepData");
  if (symbol == nullptr) {
    ::dlclose(handle);
    *why = "it has no SetSBRepData";
    return nullptr;
  }
  return std::make_unique<SharedObject>(handle, reinterpret_cast<Entry>(symbol));
}

// A shared object carries no version resource.
std::optional<VersionResource> ReadVersionResource(const std::string&) { return std::nullopt; }

}  // namespace sbrep::cli
