// Small helpers for the tool's output: UTF-8 from wide text, JSON strings.
#pragma once

#include <string>

namespace tool {

/// Wide text as UTF-8.
std::string Utf8(const wchar_t* text);

/// `text` (UTF-8) as a quoted JSON string.
std::string JsonString(const std::string& text);

}  // namespace tool
