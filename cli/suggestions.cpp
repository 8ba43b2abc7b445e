#include "cli/suggestions.h"

#include <algorithm>
#include <cctype>

namespace sbrep::cli {
namespace {

// Edits between two words, a swap of neighbours counting as one.
std::size_t Distance(const std::string& a, const std::string& b) {
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[n][m];
}

}  // namespace

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string NearestWord(const std::string& word, const std::vector<std::string>& candidates) {
  std::string best;
  std::size_t best_distance = 3;  // two slips at the most
  for (const std::string& candidate : candidates) {
    const std::size_t distance = Distance(Lower(word), Lower(candidate));
    if (distance < best_distance && distance < candidate.size()) {
      best = candidate;
      best_distance = distance;
    }
  }
  return best;
}

std::string Suggestion(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string nearest = NearestWord(word, candidates);
  return nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?";
}

}  // namespace sbrep::cli
