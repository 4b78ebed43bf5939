// The console's JSON-mode request reader over arbitrary lines: it never crashes or throws; an accepted
// request's command holds no control character and its id reads back as a number, a text or null; a
// refusal says why, with a column on the line (or just past its end) where one applies; and the reply
// built from what it read is one line of valid JSON.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz/fuzz_text.h"
#include "json_mode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  if (line.find('\n') != std::string::npos) return 0;
  const pndconsole::protocol::JsonRequest request = pndconsole::protocol::ReadJsonRequest(line);
  const auto id = nlohmann::json::parse(request.id, nullptr, false);
  fuzztext::Require(id.is_number() || id.is_string() || id.is_null());
  if (request.ok) {
    for (const char c : request.command) {
      const auto byte = static_cast<unsigned char>(c);
      fuzztext::Require((byte >= 0x20 || byte == '\t') && byte != 0x7F);
    }
  } else {
    fuzztext::Require(!request.error.empty());
    fuzztext::Require(request.column >= 0 && static_cast<std::size_t>(request.column) <= line.size() + 1);
  }
  const std::string reply = pndconsole::protocol::JsonReply(request.id, request.ok, request.command, {},
                                                            request.error, request.column);
  fuzztext::Require(reply.find('\n') == reply.size() - 1);
  fuzztext::Require(nlohmann::json::accept(reply));
  return 0;
}
