// The query functions a scenario can ask, gathered from the services, and the expectation of an answer.
#include "answers.h"

#include <algorithm>

#include "lexer.h"
#include "service.h"
#include "statement_makers.h"

namespace scenario {

const std::vector<Query>& Queries() {
  static const std::vector<Query> queries =
      RowsByPlace(&ServiceDescription::queries, [](const Query& query) { return query.name; });
  return queries;
}

Statement ParseQueryExpectation(Cursor& cursor, const Query& query) {
  long argument = 0;
  std::string expected = std::string(query.name);
  if (query.takesArgument) {
    argument = cursor.Integer(-2147483648L, 2147483647L, "the function's argument");
    expected += " " + std::to_string(argument);
  }
  cursor.Choice({"="});
  std::vector<std::string> answer;
  do {
    answer.push_back(cursor.Take(std::string("the answer: ") + std::string(query.answerForm)).text);
  } while (!cursor.AtEnd());
  expected += " = " + Join(answer);
  return Expectation("expect " + expected, [&query, argument, answer, expected](Session&) {
    const std::string actual = query.answer(argument);
    const std::vector<Word> words = SplitWords(actual);
    bool same = words.size() == answer.size();
    for (std::size_t i = 0; same && i < answer.size(); ++i) {
      same = answer[i] == "*" || answer[i] == words[i].text;
    }
    if (same) return Outcome{};
    // '*' stands for one word of the answer, not for the rest of it.
    const bool wildcard = std::find(answer.begin(), answer.end(), "*") != answer.end();
    if (wildcard && words.size() != answer.size()) {
      return Failure("expected " + expected + ", got " + actual + " (" + std::to_string(words.size()) +
                     " words; each '*' stands for one)");
    }
    return Failure("expected " + expected + ", got " + actual);
  });
}

std::string BoolAnswer(bool value) { return value ? "true" : "false"; }

}  // namespace scenario
