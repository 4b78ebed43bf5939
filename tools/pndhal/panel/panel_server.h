// The panel's HTTP side: the page's files, the device's state, profile and zones as JSON, scenario lines
// posted as commands, and the event stream (server-sent events), on 127.0.0.1 only and to requests that
// pass the access rule (access.h).
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device_link.h"
#include "event_hub.h"

namespace httplib {
class Server;
}

namespace panel {

class PanelServer {
 public:
  /// Serves `link`'s device and `hub`'s events to requests carrying `token`; `zones` is the zone database
  /// the page offers. `link` and `hub` must outlive the server.
  PanelServer(DeviceLink& link, EventHub& hub, std::string token, std::vector<std::string> zones);
  /// Stops serving, as Stop does.
  ~PanelServer();
  PanelServer(const PanelServer&) = delete;
  PanelServer& operator=(const PanelServer&) = delete;

  /// Binds 127.0.0.1:`port` (0: a free port the system picks) and starts serving on threads of the
  /// server's own. False with *error set when the port cannot be bound.
  bool Start(int port, std::string* error);

  /// The port served on, once started.
  int Port() const { return port_; }

  /// Ends every event stream and stops serving; returns once the server's threads have ended.
  void Stop();

 private:
  void Route();

  DeviceLink& link_;
  EventHub& hub_;
  std::string token_;
  std::vector<std::string> zones_;
  std::unique_ptr<httplib::Server> server_;
  std::thread listener_;
  int port_ = 0;
};

}  // namespace panel
