#include "cli/warnings.h"

namespace sbrep::cli {

std::vector<std::string> Warnings(const PreparedTable& p) {
  return p.kind->warn(p.values, p.old_lines);
}

}  // namespace sbrep::cli
