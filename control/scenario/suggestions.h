// Suggestions for near misses: the known word closest to a word a person typed ("presss" -> "press"), for
// "did you mean ...?" in the messages of the scenario parser and of the tool's command line.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

/// The edit distance of `a` and `b` without regard to case: insertions, deletions, substitutions and
/// swaps of two neighbouring characters each count one.
std::size_t EditDistance(std::string_view a, std::string_view b);

/// The candidates closest to `word`, best first, at most three: those within a distance that grows with
/// the word's length (one edit up to four characters, two up to eight, three beyond). Empty when none is
/// that close, when `word` is itself a candidate, or when it is a single character.
std::vector<std::string> NearestWords(std::string_view word, std::span<const std::string> candidates);

/// "did you mean 'press'?" or "did you mean 'F6' or 'F7'?" for the nearest candidates; empty when none.
std::string DidYouMean(std::string_view word, std::span<const std::string> candidates);

}  // namespace scenario
