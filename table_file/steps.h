// The steps of a save as values: which step failed, how, and what else went
// wrong on the way out. Shared by the save and the rewrite in place.
#pragma once

#include <optional>
#include <string>

#include "platform/filesystem.h"

namespace sbrep {

struct StepFailure {
  std::string step;
  fs::Outcome outcome;
  std::string note;    // what else went wrong on the way out
  bool final = false;  // no other way may be tried
  std::string Text() const { return step + ": " + fs::Describe(outcome) + note; }
};

using Step = std::optional<StepFailure>;

// Memory that ran out is thrown instead (fs::Checked): no other way out of
// a step would have more of it.
inline Step Failed(const char* step, const fs::Outcome& outcome) {
  if (fs::Checked(outcome).ok()) return std::nullopt;
  return StepFailure{step, outcome, "", false};
}

}  // namespace sbrep
