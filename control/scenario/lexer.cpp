// Words of a scenario line.
#include "lexer.h"

namespace scenario {

std::vector<Word> SplitWords(std::string_view line) {
  std::vector<Word> words;
  std::size_t at = 0;
  const auto column = [](std::size_t index) { return static_cast<int>(index) + 1; };
  while (at < line.size()) {
    const char c = line[at];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++at;
      continue;
    }
    if (c == '#') break;
    Word word{{}, column(at), c == '"'};
    if (word.quoted) {
      ++at;
      for (;;) {
        if (at >= line.size()) throw SyntaxError(word.column, "expected a closing '\"' for this quote");
        const char q = line[at++];
        if (q == '"') break;
        if (q == '\\') {
          if (at >= line.size() || (line[at] != '"' && line[at] != '\\')) {
            throw SyntaxError(column(at - 1), "expected \\\" or \\\\ in a quoted word");
          }
          word.text += line[at++];
        } else {
          word.text += q;
        }
      }
    } else {
      while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r' && line[at] != '#' &&
             line[at] != '"') {
        word.text += line[at++];
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string QuoteWord(std::string_view text) {
  const bool plain = !text.empty() && text.find_first_of(" \t\r#\"\\") == std::string_view::npos;
  if (plain) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace scenario
