#include "filingclient/caller_path.h"

namespace sbrep {

std::string DecodeCallerPath(const char* path) { return path == nullptr ? std::string() : path; }

}  // namespace sbrep
