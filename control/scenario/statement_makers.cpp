// Statement makers shared by the language's own verbs and its services'.
#include "statement_makers.h"

#include "lexer.h"

namespace scenario {

Outcome Failure(std::string message) { return {false, std::move(message), {}}; }

Statement Action(std::string text, std::function<std::string()> act) {
  Statement statement;
  statement.text = std::move(text);
  statement.recorded = true;
  statement.run = [act = std::move(act), text = statement.text](Session&) {
    const std::string problem = act();
    return problem.empty() ? Outcome{} : Failure(text + ": " + problem);
  };
  return statement;
}

Statement Expectation(std::string text, std::function<Outcome(Session&)> check) {
  Statement statement;
  statement.text = std::move(text);
  statement.run = std::move(check);
  return statement;
}

std::string Unless(bool done, std::string_view problem) {
  return done ? std::string() : std::string(problem);
}

std::string Join(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + QuoteWord(word);
  return text;
}

std::string DevicePath(Cursor& cursor) { return cursor.Take("a path on the device (\\Folder\\file)").text; }

}  // namespace scenario
