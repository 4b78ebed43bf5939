// JSON output of the tool's data commands.
#pragma once

#include <nlohmann/json.hpp>

namespace tool {

/// A JSON value whose members keep the order they were added in.
using Json = nlohmann::ordered_json;

/// Prints `value` to stdout, indented, and a newline. Text that is not valid
/// UTF-8 is printed with U+FFFD in place of the bad bytes.
void PrintJson(const Json& value);

}  // namespace tool
