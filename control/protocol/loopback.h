// The console's sockets: listening on the loopback addresses alone, and connecting to them.
#pragma once

#include <string>
#include <vector>

namespace pndconsole::protocol {

/// Listens on 127.0.0.1 and ::1 (when the machine has IPv6) on the first free port from `first` to `last`,
/// with non-blocking sockets; `port` gets the port. Empty with *error set (when not null) when none is free.
std::vector<int> Listen(int first, int last, int& port, std::string* error);

/// Connects to `port` on the loopback, IPv4 first; the socket, or -1 with errno set.
int ConnectLoopback(int port);

}  // namespace pndconsole::protocol
