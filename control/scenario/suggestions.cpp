// Near-miss suggestions by edit distance.
#include "suggestions.h"

#include <algorithm>
#include <cctype>

namespace scenario {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// How far a word may be from a candidate and still be taken for a slip of the hand: short words differ
// from each other by little, so they get less room.
std::size_t Reach(std::size_t length) { return length <= 4 ? 1 : length <= 8 ? 2 : 3; }

}  // namespace

std::size_t EditDistance(std::string_view a, std::string_view b) {
  // Rows of the optimal-string-alignment table: the one before last, the last and the one being filled.
  std::vector<std::size_t> before(b.size() + 1), last(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) last[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + cost});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) && Lower(a[i - 2]) == Lower(b[j - 1])) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    std::swap(before, last);
    std::swap(last, row);
  }
  return last[b.size()];
}

std::vector<std::string> NearestWords(std::string_view word, std::span<const std::string> candidates) {
  if (word.size() < 2) return {};
  std::vector<std::pair<std::size_t, std::string>> near;
  for (const std::string& candidate : candidates) {
    const std::size_t distance = EditDistance(word, candidate);
    if (distance == 0) return {};
    if (distance <= Reach(std::max(word.size(), candidate.size()))) near.emplace_back(distance, candidate);
  }
  std::stable_sort(near.begin(), near.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> nearest;
  for (const auto& [distance, candidate] : near) {
    // Only the closest ones: a word one edit away from one candidate is not meant as another three away.
    if (distance > near.front().first || nearest.size() == 3) break;
    if (std::find(nearest.begin(), nearest.end(), candidate) == nearest.end()) nearest.push_back(candidate);
  }
  return nearest;
}

std::string DidYouMean(std::string_view word, std::span<const std::string> candidates) {
  const std::vector<std::string> nearest = NearestWords(word, candidates);
  if (nearest.empty()) return {};
  std::string text = "did you mean ";
  for (std::size_t i = 0; i < nearest.size(); ++i) {
    text += i == 0 ? "" : i + 1 == nearest.size() ? " or " : ", ";
    text += "'" + nearest[i] + "'";
  }
  return text + "?";
}

}  // namespace scenario
