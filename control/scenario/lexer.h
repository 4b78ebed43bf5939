// Splits one scenario line into words: blank-separated, double-quoted words may hold blanks and the
// escapes \" and \\, and '#' outside quotes starts a comment.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

/// One word of a line and where it starts (1-based column).
struct Word {
  std::string text;
  int column = 0;
  bool quoted = false;
};

/// A line that does not follow the grammar: the column at fault and what was expected there.
struct SyntaxError : std::runtime_error {
  SyntaxError(int at, const std::string& message) : std::runtime_error(message), column(at) {}
  int column;
};

/// The words of `line`; throws SyntaxError for an unterminated quote or a bad escape.
std::vector<Word> SplitWords(std::string_view line);

/// `text` as a word of a line: unchanged when it needs no quotes, else quoted and escaped.
std::string QuoteWord(std::string_view text);

}  // namespace scenario
