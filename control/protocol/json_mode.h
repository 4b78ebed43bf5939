// The console's JSON mode, written once for the host and its clients: the greeting, the request reader,
// the replies and the lines the console sends of itself. docs/console.md describes it for people.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pndconsole::protocol {

/// The line that switches a connection to JSON mode ("mode json"); the verb and the mode's word.
inline constexpr std::string_view kModeVerb = "mode";
inline constexpr std::string_view kJsonMode = "json";

/// One request as the reader found it.
struct JsonRequest {
  bool ok = false;
  /// The request's id as JSON text, echoed in the reply ("null" when it has none or could not be read).
  std::string id = "null";
  /// The command line it carries.
  std::string command;
  /// Why it was refused, and the column (1-based, in the request line or in the command) it stopped at;
  /// 0 when no column applies.
  std::string error;
  int column = 0;
};

/// Reads one request line: a JSON object with a "command" text and an optional "id" (a number, a text or
/// null; any other member is refused). A command holding a control character other than tab is refused
/// with its column in the command. Never throws.
JsonRequest ReadJsonRequest(std::string_view line);

/// The JSON greeting, with its line end: the protocol version, the program and its pid, the capabilities
/// and whether the client must authenticate first.
std::string JsonGreeting(std::string_view program, int pid, bool authRequired);

/// A reply, with its line end. `value` is JSON text (the answer of `state`), added as "value" when not
/// empty; a refusal carries `message` and, when not 0, `column`.
std::string JsonReply(std::string_view id, bool ok, std::string_view output, std::string_view value,
                      std::string_view message, int column);

/// An event line, with its line end: `json` as it is, or, when empty, {"type":"message","text":TEXT}.
std::string JsonEvent(std::string_view text, std::string_view json);

/// The line telling a client how many events its full output queue dropped, with its line end.
std::string JsonDropped(std::uint64_t count);

/// The line the console sends before it closes a connection of its own accord, with its line end.
std::string JsonClosed(std::string_view reason);

}  // namespace pndconsole::protocol
