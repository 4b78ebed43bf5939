// The panel's one connection to the device: commands and `state` on one console connection, the watch
// stream on another, both in the console's JSON mode, each turned into the JSON the page reads. Everything
// the panel knows of the device passes through this class.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

#include "console_client.h"

namespace panel {

using Json = nlohmann::ordered_json;

/// One object of the JSON watch stream as the page gets it: `time` (`seconds`, when the panel received it),
/// `source` (`listener`, `platform`, or `console` for the console's own notices such as dropped events),
/// `kind` (`key`, `power.status`; empty for a notice) and `text` (`F6`, `ac=0 flag=0x04 battery=5`). Text
/// that is not such an object is shown whole as a notice.
Json EventJson(const std::string& object, double seconds);

class DeviceLink {
 public:
  /// Receives each event of the watch stream, as EventJson makes it, on the link's own thread.
  using EventSink = std::function<void(const Json& event)>;
  /// Told once, on the link's own thread, that the watch stream ended: the device went away.
  using LostSink = std::function<void()>;

  /// Connects twice to the console on the loopback `port` (with the token in `tokenFile`, or the user's
  /// when empty), starts the watch stream on the second connection and a thread that reads it. Null with
  /// *error set when a connection, its authentication or `watch` fails.
  static std::unique_ptr<DeviceLink> Open(int port, const std::string& tokenFile, EventSink onEvent,
                                          LostSink onLost, std::string* error);

  /// Stops the stream's thread and closes both connections.
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  /// Runs one scenario line on the device: {"ok": BOOL, "output": [LINE...], "reason": TEXT}. nullopt with
  /// *error set when the device cannot be reached. One command runs at a time; callers on other threads
  /// wait their turn.
  std::optional<Json> Command(const std::string& line, std::string* error);

  /// The device's `state` as JSON; nullopt with *error set when the device cannot be reached or its
  /// answer is not JSON.
  std::optional<Json> State(std::string* error);

  /// The console's JSON greeting.
  const std::string& Greeting() const { return commands_->Greeting(); }

 private:
  DeviceLink(std::unique_ptr<pndconsole::Connection> commands, std::unique_ptr<pndconsole::Connection> stream)
      : commands_(std::move(commands)), stream_(std::move(stream)) {}
  void Watch(const EventSink& onEvent, const LostSink& onLost);

  std::mutex commandMutex_;
  std::unique_ptr<pndconsole::Connection> commands_;
  std::unique_ptr<pndconsole::Connection> stream_;
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace panel
