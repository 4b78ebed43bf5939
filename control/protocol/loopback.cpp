// The console's loopback sockets.
#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace pndconsole::protocol {
namespace {

// Binds `fd` to the loopback address of its family and `port`.
int BindLoopback(int fd, int family, int port) {
  if (family == AF_INET) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_port = htons(static_cast<std::uint16_t>(port));
  address.sin6_addr = in6addr_loopback;
  return bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int ListenOn(int family, int port) {
  const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (BindLoopback(fd, family, port) != 0 || listen(fd, 16) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

}  // namespace

std::vector<int> Listen(int first, int last, int& port, std::string* error) {
  int lastErrno = 0;
  for (int candidate = first; candidate <= last; ++candidate) {
    const int v4 = ListenOn(AF_INET, candidate);
    if (v4 < 0) {
      lastErrno = errno;
      continue;
    }
    // IPv6 alone may be missing on the machine.
    const int v6 = ListenOn(AF_INET6, candidate);
    if (v6 < 0 && errno != EAFNOSUPPORT && errno != EADDRNOTAVAIL) {
      lastErrno = errno;
      close(v4);
      continue;
    }
    port = candidate;
    return v6 < 0 ? std::vector<int>{v4} : std::vector<int>{v4, v6};
  }
  if (error != nullptr) {
    *error = first == last ? "cannot listen on port " + std::to_string(first) + ": " +
                                 std::generic_category().message(lastErrno)
                           : "no free port in " + std::to_string(first) + "-" + std::to_string(last);
  }
  return {};
}

int ConnectLoopback(int port) {
  for (int family : {AF_INET, AF_INET6}) {
    const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    int connected = -1;
    if (family == AF_INET) {
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<std::uint16_t>(port));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
      sockaddr_in6 address{};
      address.sin6_family = AF_INET6;
      address.sin6_port = htons(static_cast<std::uint16_t>(port));
      address.sin6_addr = in6addr_loopback;
      connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (connected == 0) return fd;
    const int saved = errno;
    close(fd);
    errno = saved;
  }
  return -1;
}

}  // namespace pndconsole::protocol
