// The panel's device link over the console's line protocol.
#include "device_link.h"

#include <sys/socket.h>

#include <chrono>

namespace panel {
namespace {

// How often the stream's thread looks up from an idle stream to see whether it is asked to stop; the
// destructor also shuts the socket, so this only bounds a missed wake-up.
constexpr std::chrono::milliseconds kWatchSlice{250};

}  // namespace

Json EventJson(const std::string& line) {
  Json event = {{"time", nullptr}, {"source", "console"}, {"kind", ""}, {"text", line}};
  const std::size_t space = line.find(' ');
  if (space == std::string::npos) return event;
  try {
    std::size_t used = 0;
    const double seconds = std::stod(line.substr(0, space), &used);
    if (used != space) return event;
    event["time"] = seconds;
  } catch (const std::exception&) {
    return event;
  }
  const std::string text = line.substr(space + 1);
  event["text"] = text;
  for (const char* name : {"listener", "platform"}) {
    const std::string source = std::string(name) + " ";
    if (text.rfind(source, 0) != 0) continue;
    const std::string rest = text.substr(source.size());
    const std::size_t end = rest.find(' ');
    event["source"] = name;
    event["kind"] = rest.substr(0, end);
    event["text"] = end == std::string::npos ? std::string() : rest.substr(end + 1);
  }
  return event;
}

std::unique_ptr<DeviceLink> DeviceLink::Open(int port, const std::string& tokenFile, EventSink onEvent,
                                             LostSink onLost, std::string* error) {
  auto commands = pndconsole::Connection::Open(port, error, tokenFile);
  if (!commands) return nullptr;
  auto stream = pndconsole::Connection::Open(port, error, tokenFile);
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
  const auto handler = [&onEvent](const std::string& line) { onEvent(EventJson(line)); };
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
  std::string text;
  for (const std::string& line : reply->output) text += line + "\n";
  Json state = Json::parse(text, nullptr, false);
  if (!reply->ok || !state.is_object()) {
    *error = "the device's state is not JSON" + (reply->ok ? std::string() : ": " + reply->reason);
    return std::nullopt;
  }
  return state;
}

}  // namespace panel
