// What the verbs of the language and of its services make their statements from: an action, an
// expectation, the outcome of a failure, and the words several of them read or write.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cursor.h"
#include "scenario.h"

namespace scenario {

/// An outcome that did not hold, saying why.
Outcome Failure(std::string message);

/// An action, recorded as `text`: done by `act`, which returns an empty text when it worked or why it
/// could not be done.
Statement Action(std::string text, std::function<std::string()> act);

/// An expectation, written as `text`, which `check` checks.
Statement Expectation(std::string text, std::function<Outcome(Session&)> check);

/// An action's result: empty when `done`, else `problem`.
std::string Unless(bool done, std::string_view problem);

/// `words` as the words of a line, quoted where they need it.
std::string Join(const std::vector<std::string>& words);

/// A path on the device, as one word: "\\Storage Card\\Maps".
std::string DevicePath(Cursor& cursor);

}  // namespace scenario
