// JSON output of the tool's data commands.
#include "json_output.h"

#include <cstdio>

namespace tool {

void PrintJson(const Json& value) {
  const std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
  std::printf("%s\n", text.c_str());
}

}  // namespace tool
