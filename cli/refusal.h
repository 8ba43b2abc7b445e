// How a command of the tool stops short: one exception, thrown where the
// reason is found and caught once by the dispatcher, which prints it and
// ends the run with its exit status. Check and transfer catch it too, to
// put it in their report.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "cli/command.h"

namespace sbrep::cli {

class Refusal : public std::runtime_error {
 public:
  // `why` is the line the tool prints, `detail` the exact reason below it.
  Refusal(int status, const std::string& why, std::string detail = {})
      : std::runtime_error(why), status_(status), detail_(std::move(detail)) {}

  int status() const { return status_; }
  const std::string& detail() const { return detail_; }

  // Interrupts held where it was thrown stay held until it has been told,
  // so that Ctrl-C never hides why nothing was written.
  void HoldUntilTold(std::shared_ptr<const void> hold) { hold_ = std::move(hold); }

  // A usage error's command, as far as the arguments told it.
  Command command = Command::kNone;

 private:
  int status_;
  std::string detail_;
  std::shared_ptr<const void> hold_;
};

}  // namespace sbrep::cli
