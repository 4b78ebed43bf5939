// The console's JSON mode: the request reader and the lines of the console.
#include "json_mode.h"

#include <nlohmann/json.hpp>

#include "protocol.h"

namespace pndconsole::protocol {
namespace {

using Json = nlohmann::ordered_json;

std::string Line(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

JsonRequest Refused(std::string error, int column, std::string id = "null") {
  JsonRequest request;
  request.id = std::move(id);
  request.error = std::move(error);
  request.column = column;
  return request;
}

}  // namespace

JsonRequest ReadJsonRequest(std::string_view line) {
  Json object;
  try {
    object = Json::parse(line);
  } catch (const Json::parse_error& error) {
    // The byte the parser stopped at; past the line's end when the line ended too soon.
    return Refused("not a JSON request: " + std::string(error.what()),
                   static_cast<int>(std::min<std::size_t>(error.byte, line.size() + 1)));
  } catch (const Json::exception& error) {
    // A number beyond what a double holds, and the like: no column.
    return Refused("not a JSON request: " + std::string(error.what()), 0);
  }
  if (!object.is_object()) return Refused("a request is a JSON object with a \"command\"", 1);
  std::string id = "null";
  if (const auto found = object.find("id"); found != object.end()) {
    if (!found->is_number() && !found->is_string() && !found->is_null()) {
      return Refused("\"id\" must be a number, a text or null", 0);
    }
    id = found->dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  for (const auto& [name, value] : object.items()) {
    if (name != "id" && name != "command") return Refused("unknown member \"" + name + "\"", 0, id);
  }
  const auto command = object.find("command");
  if (command == object.end() || !command->is_string()) {
    return Refused("a request needs a \"command\" text", 0, id);
  }
  JsonRequest request;
  request.id = std::move(id);
  request.command = command->get<std::string>();
  if (request.command.size() > kLineLimit) {
    return Refused("command too long (limit " + std::to_string(kLineLimit) + " bytes)", 0, request.id);
  }
  for (std::size_t i = 0; i < request.command.size(); ++i) {
    const auto byte = static_cast<unsigned char>(request.command[i]);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      return Refused("control character at column " + std::to_string(i + 1), static_cast<int>(i + 1),
                     request.id);
    }
  }
  request.ok = true;
  return request;
}

std::string JsonGreeting(std::string_view program, int pid, bool authRequired) {
  return Line({{"type", "greeting"},
               {"protocol", kVersion},
               {"program", program},
               {"pid", pid},
               {"capabilities", {"events", "state", "pipelining"}},
               {"auth", authRequired ? "required" : "ready"}});
}

std::string JsonReply(std::string_view id, bool ok, std::string_view output, std::string_view value,
                      std::string_view message, int column) {
  Json reply = {{"type", "reply"}, {"id", Json::parse(id, nullptr, false)}, {"ok", ok}, {"output", output}};
  if (!value.empty()) reply["value"] = Json::parse(value, nullptr, false);
  if (!ok) {
    Json error = {{"message", message.empty() ? std::string_view("failed") : message}};
    if (column > 0) error["column"] = column;
    reply["error"] = std::move(error);
  }
  return Line(reply);
}

std::string JsonEvent(std::string_view text, std::string_view json) {
  if (!json.empty()) return std::string(json) + "\n";
  return Line({{"type", "message"}, {"text", text}});
}

std::string JsonDropped(std::uint64_t count) {
  return Line({{"type", "dropped"}, {"record", "events"}, {"count", count}});
}

std::string JsonClosed(std::string_view reason) { return Line({{"type", "closed"}, {"reason", reason}}); }

}  // namespace pndconsole::protocol
