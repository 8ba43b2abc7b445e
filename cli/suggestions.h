// The "did you mean" of the command line: the known word nearest to one
// that is not, when it is close enough to be a slip.
#pragma once

#include <string>
#include <vector>

namespace sbrep::cli {

// ASCII letters in lower case, as words are compared whatever their case.
std::string Lower(std::string text);

// The candidate nearest to `word` when it is close enough to be a slip of
// the keyboard or of the shift key; empty otherwise.
std::string NearestWord(const std::string& word, const std::vector<std::string>& candidates);

// "; did you mean 'check'?", or nothing.
std::string Suggestion(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace sbrep::cli
