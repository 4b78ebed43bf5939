// The console client: finding devices, the connection and both modes of the protocol, on the shared
// protocol.
#include "pndconsole/client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <system_error>

#include "discovery.h"
#include "json_mode.h"
#include "loopback.h"
#include "protocol.h"
#include "token.h"

namespace pndconsole {
namespace {

constexpr auto kGreetingLimit = std::chrono::seconds(5);

using Json = nlohmann::json;

bool StartsWith(const std::string& line, std::string_view prefix) { return line.rfind(prefix, 0) == 0; }

}  // namespace

std::vector<Device> ListDevices() {
  std::vector<Device> devices;
  for (const protocol::Device& record : protocol::ListDevices()) {
    devices.push_back({record.pid, record.port, record.program, record.started});
  }
  return devices;
}

std::optional<Device> FindDevice(const std::string& name, std::string* error) {
  const std::vector<Device> devices = ListDevices();
  std::vector<Device> matches;
  for (const Device& device : devices) {
    if (name.empty() || name == std::to_string(device.pid) || name == std::to_string(device.port) ||
        name == device.program) {
      matches.push_back(device);
    }
  }
  if (matches.size() == 1) return matches.front();
  if (matches.empty()) {
    *error = name.empty() ? "no device with an open console is running"
                          : "no running device with an open console matches \"" + name + "\"";
  } else {
    *error = std::to_string(matches.size()) + " devices match" + (name.empty() ? "" : " \"" + name + "\"") +
             "; name one by process id or port (pndhal devices lists them)";
  }
  return std::nullopt;
}

std::unique_ptr<Connection> Connection::Open(int port, std::string* error, const std::string& tokenFile,
                                             Mode mode) {
  const int fd = protocol::ConnectLoopback(port);
  if (fd < 0) {
    *error = "cannot connect to the console on port " + std::to_string(port) + ": " +
             std::generic_category().message(errno);
    return nullptr;
  }
  std::unique_ptr<Connection> connection(new Connection(fd));
  bool needsToken = false;
  while (true) {
    bool timedOut = false;
    const auto line = connection->ReadLine(kGreetingLimit, &timedOut);
    if (!line) {
      *error = timedOut ? "the console sent no greeting" : "the console closed the connection";
      return nullptr;
    }
    if (StartsWith(*line, protocol::kKoPrefix)) {
      *error = line->substr(protocol::kKoPrefix.size());
      return nullptr;
    }
    if (!StartsWith(*line, protocol::kGreetingMarker)) continue;
    const std::string text = line->substr(protocol::kGreetingMarker.size());
    if (connection->greeting_.empty()) connection->greeting_ = text;
    if (text == protocol::kReady) break;
    if (StartsWith(text, "auth required")) {
      needsToken = true;
      break;
    }
  }
  if (mode == Mode::Json) {
    const std::string ask = std::string(protocol::kModeVerb) + " " + std::string(protocol::kJsonMode) + "\n";
    if (!connection->Send(ask, error)) return nullptr;
    bool timedOut = false;
    const auto line = connection->ReadLine(kGreetingLimit, &timedOut);
    const Json greeting = line ? Json::parse(*line, nullptr, false) : Json();
    if (!greeting.is_object() || !greeting.contains("type") || greeting.at("type") != "greeting") {
      *error = !line ? (timedOut ? "the console sent no JSON greeting" : "the console closed the connection")
                     : "the console has no JSON mode: it answered " + *line;
      return nullptr;
    }
    connection->greeting_ = *line;
    connection->mode_ = Mode::Json;
  }
  if (needsToken) {
    const std::string path = tokenFile.empty() ? protocol::TokenPath() : tokenFile;
    const std::optional<std::string> token = protocol::ReadTokenFile(path, false, error);
    if (!token) return nullptr;
    if (token->empty()) {
      *error = "the token file is empty but the console asks for a token";
      return nullptr;
    }
    const auto reply = connection->Execute(std::string(protocol::kAuthVerb) + " " + *token, {}, error);
    if (!reply) return nullptr;
    if (!reply->ok) {
      *error = "authentication refused: " + reply->reason;
      return nullptr;
    }
  }
  return connection;
}

Connection::~Connection() { close(fd_); }

std::optional<std::string> Connection::ReadLine(std::chrono::milliseconds limit, bool* timedOut) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (true) {
    if (const auto end = buffered_.find('\n'); end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    if (limit.count() >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd ready{fd_, POLLIN, 0};
      const int polled = poll(&ready, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
      if (polled < 0 && errno == EINTR) continue;
      if (polled == 0) {
        if (timedOut != nullptr) *timedOut = true;
        return std::nullopt;
      }
    }
    char chunk[4096];
    const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    buffered_.append(chunk, static_cast<std::size_t>(got));
  }
}

bool Connection::Send(const std::string& text, std::string* error) {
  for (std::size_t sent = 0; sent < text.size();) {
    const ssize_t wrote = send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      *error = std::string("the console connection broke: ") + std::generic_category().message(errno);
      return false;
    }
    sent += static_cast<std::size_t>(wrote);
  }
  return true;
}

std::optional<Reply> Connection::ReadJsonReply(const EventHandler& onEvent, std::string* error) {
  const std::uint64_t id = nextId_++;
  // A member of an unexpected type (a console of another protocol) ends the connection's use, not the
  // client's process.
  try {
    return ReadJsonReplyTo(id, onEvent, error);
  } catch (const Json::exception& fault) {
    *error = std::string("the console sent a malformed line: ") + fault.what();
    return std::nullopt;
  }
}

std::optional<Reply> Connection::ReadJsonReplyTo(std::uint64_t id, const EventHandler& onEvent,
                                                 std::string* error) {
  while (true) {
    const auto received = ReadLine(std::chrono::milliseconds(-1), nullptr);
    if (!received) {
      *error = "the console closed the connection";
      return std::nullopt;
    }
    const Json object = Json::parse(*received, nullptr, false);
    const std::string type = object.is_object() ? object.value("type", "") : "";
    if (type == "closed") {
      *error = "the console closed the connection: " + object.value("reason", "");
      return std::nullopt;
    }
    if (type != "reply") {
      if (onEvent && object.is_object()) onEvent(*received);
      continue;
    }
    // Replies come in the order of the requests; this connection sends one at a time.
    if (object.value("id", std::uint64_t{0}) != id) continue;
    Reply reply;
    reply.ok = object.value("ok", false);
    std::string output = object.value("output", "");
    for (std::size_t start = 0; start < output.size();) {
      const std::size_t end = std::min(output.find('\n', start), output.size());
      reply.output.push_back(output.substr(start, end - start));
      start = end + 1;
    }
    if (const auto value = object.find("value"); value != object.end()) reply.value = value->dump();
    if (const auto refusal = object.find("error"); refusal != object.end() && refusal->is_object()) {
      reply.reason = refusal->value("message", "");
      reply.column = refusal->value("column", 0);
    }
    return reply;
  }
}

std::optional<Reply> Connection::Execute(std::string_view line, const EventHandler& onEvent,
                                         std::string* error) {
  if (line.find_first_of("\r\n") != std::string_view::npos) {
    *error = "a command is one line";
    return std::nullopt;
  }
  if (mode_ == Mode::Json) {
    const Json request = {{"id", nextId_}, {"command", line}};
    if (!Send(request.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n", error)) {
      return std::nullopt;
    }
    return ReadJsonReply(onEvent, error);
  }
  if (!Send(std::string(line) + "\n", error)) return std::nullopt;
  Reply reply;
  while (true) {
    const auto received = ReadLine(std::chrono::milliseconds(-1), nullptr);
    if (!received) {
      *error = "the console closed the connection";
      return std::nullopt;
    }
    const std::string& got = *received;
    if (StartsWith(got, protocol::kOutputMarker)) {
      reply.output.push_back(got.substr(protocol::kOutputMarker.size()));
    } else if (StartsWith(got, protocol::kEventMarker)) {
      if (onEvent) onEvent(got.substr(protocol::kEventMarker.size()));
    } else if (got == protocol::kOk) {
      reply.ok = true;
      return reply;
    } else if (StartsWith(got, protocol::kKoPrefix)) {
      reply.reason = got.substr(protocol::kKoPrefix.size());
      return reply;
    }
  }
}

bool Connection::ReadEvents(std::chrono::milliseconds limit, const EventHandler& onEvent) {
  while (true) {
    bool timedOut = false;
    const auto line = ReadLine(limit, &timedOut);
    if (!line) return timedOut;
    if (mode_ == Mode::Json) {
      const Json object = Json::parse(*line, nullptr, false);
      if (onEvent && object.is_object() && (!object.contains("type") || object.at("type") != "reply")) {
        onEvent(*line);
      }
    } else if (StartsWith(*line, protocol::kEventMarker) && onEvent) {
      onEvent(line->substr(protocol::kEventMarker.size()));
    }
  }
}

}  // namespace pndconsole
