// JSON strings for the tool's output.
#pragma once

#include <string>

namespace tool {

/// `text` (UTF-8) as a quoted JSON string.
std::string JsonString(const std::string& text);

}  // namespace tool
