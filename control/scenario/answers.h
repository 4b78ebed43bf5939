// What the library's exported query functions answer, in a scenario's words, for `expect FUNCTION = ...`.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cursor.h"
#include "scenario.h"

namespace scenario {

/// One query function: its name, whether it takes an argument (a number), and its answer as words
/// ("false" when the function fails). `place` orders the functions in help and in suggestions, whatever
/// service they come from.
struct Query {
  int place = 0;
  std::string_view name;
  bool takesArgument = false;
  std::string_view answerForm;  ///< for help: "PERCENT", "true|false", ...
  std::function<std::string(long argument)> answer;
};

/// Every service's query functions, by place.
const std::vector<Query>& Queries();

/// Reads `expect FUNCTION [ARG] = ANSWER...` after the function's name: the expectation that `query`
/// answers ANSWER, '*' standing for any one word of it.
Statement ParseQueryExpectation(Cursor& cursor, const Query& query);

/// A truth value as an answer says it.
std::string BoolAnswer(bool value);

}  // namespace scenario
