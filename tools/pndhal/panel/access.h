// Who may use the panel: requests carry the panel's random token, name the panel's own address as their
// Host and, when they say where they come from, come from the panel's own page. Everything else is refused
// before it reaches the device.
#pragma once

#include <optional>
#include <string>

namespace panel {

/// A new token: 128 bits from /dev/urandom as 32 lowercase hexadecimal digits; nullopt with *error set
/// when the random source cannot be read.
std::optional<std::string> NewToken(std::string* error);

/// What of a request the panel's access rule looks at.
struct AccessRequest {
  std::string host;    ///< the Host header
  std::string origin;  ///< the Origin header; empty when the request has none
  std::string token;   ///< the token the request carries (header or query); empty when none
};

/// Decides on one request to the panel served on 127.0.0.1:`port` with `token`. Empty when it may pass;
/// otherwise why it is refused: a Host other than 127.0.0.1:PORT or localhost:PORT (a name that merely
/// resolves to the loopback, as DNS rebinding makes one, is refused), an Origin other than the panel's
/// own, or a missing or wrong token (compared in constant time).
std::string CheckAccess(const AccessRequest& request, int port, const std::string& token);

}  // namespace panel
