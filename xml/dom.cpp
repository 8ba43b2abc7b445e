// What the two DOM backends share.
#include "xml/dom.h"

namespace sbrep::dom {

std::string ParseErrorDetail(long line, long column, std::string reason) {
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  if (reason.empty()) reason = "not well-formed";
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + reason;
}

}  // namespace sbrep::dom
