// The panel's device link over the console's JSON mode.
#include "device_link.h"

#include <sys/socket.h>

#include <algorithm>
#include <chrono>

namespace panel {
namespace {

// How often the stream's thread looks up from an idle stream to see whether it is asked to stop; the
// destructor also shuts the socket, so this only bounds a missed wake-up.
constexpr std::chrono::milliseconds kWatchSlice{250};

}  // namespace

Json EventJson(const std::string& object, double seconds) {
  Json event = {{"time", seconds}, {"source", "console"}, {"kind", ""}, {"text", object}};
  const Json parsed = Json::parse(object, nullptr, false);
  if (!parsed.is_object()) return event;
  const auto text = [&parsed](const char* name) {
    const auto member = parsed.find(name);
    return member != parsed.end() && member->is_string() ? member->get<std::string>() : std::string();
  };
  const std::string type = text("type");
  if (type == "listener" || type == "platform") {
    event["source"] = type;
    event["kind"] = text("kind");
    // A listener call reads as its expectation does ("key F6"): the kind is shown on its own.
    std::string said = text(type == "listener" ? "call" : "detail");
    const std::string kind = text("kind");
    if (type == "listener" && said.rfind(kind, 0) == 0) {
      said = said.substr(std::min(said.size(), kind.size() + 1));
    }
    event["text"] = said;
  } else if (type == "dropped") {
    const auto count = parsed.find("count");
    event["text"] =
        "... " + (count != parsed.end() ? count->dump() : std::string("some")) + " events dropped";
  }
  return event;
}

std::unique_ptr<DeviceLink> DeviceLink::Open(int port, const std::string& tokenFile, EventSink onEvent,
                                             LostSink onLost, std::string* error) {
  auto commands = pndconsole::Connection::Open(port, error, tokenFile, pndconsole::Mode::Json);
  if (!commands) return nullptr;
  auto stream = pndconsole::Connection::Open(port, error, tokenFile, pndconsole::Mode::Json);
  if (!stream) return nullptr;
  const auto reply = stream->Execute("watch", {}, error);
  if (!reply) return nullptr;
  if (!reply->ok) {
    *error = "the console refused watch: " + reply->reason;
    return nullptr;
  }
  std::unique_ptr<DeviceLink> link(new DeviceLink(std::move(commands), std::move(stream)));
  link->watcher_ = std::thread([link = link.get(), onEvent = std::move(onEvent), onLost = std::move(onLost)] {
    link->Watch(onEvent, onLost);
  });
  return link;
}

DeviceLink::~DeviceLink() {
  stopping_.store(true);
  // Ends a read in progress at once.
  shutdown(stream_->Fd(), SHUT_RDWR);
  if (watcher_.joinable()) watcher_.join();
}

void DeviceLink::Watch(const EventSink& onEvent, const LostSink& onLost) {
  const auto opened = std::chrono::steady_clock::now();
  const auto handler = [&onEvent, opened](const std::string& object) {
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - opened;
    onEvent(EventJson(object, since.count()));
  };
  while (!stopping_.load()) {
    if (!stream_->ReadEvents(kWatchSlice, handler)) {
      if (!stopping_.load()) onLost();
      return;
    }
  }
}

std::optional<Json> DeviceLink::Command(const std::string& line, std::string* error) {
  std::lock_guard lock(commandMutex_);
  const auto reply = commands_->Execute(line, {}, error);
  if (!reply) return std::nullopt;
  return Json{{"ok", reply->ok}, {"output", reply->output}, {"reason", reply->reason}};
}

std::optional<Json> DeviceLink::State(std::string* error) {
  std::optional<pndconsole::Reply> reply;
  {
    std::lock_guard lock(commandMutex_);
    reply = commands_->Execute("state", {}, error);
  }
  if (!reply) return std::nullopt;
  Json state = Json::parse(reply->value, nullptr, false);
  if (!reply->ok || !state.is_object()) {
    *error = "the device's state is not JSON" + (reply->ok ? std::string() : ": " + reply->reason);
    return std::nullopt;
  }
  return state;
}

}  // namespace panel
