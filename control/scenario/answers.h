// What the library's exported query functions answer, in a scenario's words, for `expect FUNCTION = ...`.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

/// One query function: its name, whether it takes an argument (a number), and its answer as words
/// ("false" when the function fails).
struct Query {
  std::string_view name;
  bool takesArgument;
  std::string_view answerForm;  ///< for help: "PERCENT", "true|false", ...
  std::function<std::string(long argument)> answer;
};

/// The query functions, by name.
const std::vector<Query>& Queries();

}  // namespace scenario
