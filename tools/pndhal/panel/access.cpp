// The panel's access rule and its token.
#include "access.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace panel {

std::optional<std::string> NewToken(std::string* error) {
  std::array<unsigned char, 16> bytes{};
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  std::size_t got = 0;
  while (fd >= 0 && got < bytes.size()) {
    const ssize_t read_now = read(fd, bytes.data() + got, bytes.size() - got);
    if (read_now < 0 && errno == EINTR) continue;
    if (read_now <= 0) break;
    got += static_cast<std::size_t>(read_now);
  }
  const int fault = errno;
  if (fd >= 0) close(fd);
  if (got < bytes.size()) {
    *error = "cannot read /dev/urandom for the panel's token: " + std::generic_category().message(fault);
    return std::nullopt;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 0x0f];
  }
  return token;
}

namespace {

// Equal strings, in a time that does not tell how much of a guess was right.
bool SameToken(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ token[i]);
  }
  return difference == 0;
}

}  // namespace

std::string CheckAccess(const AccessRequest& request, int port, const std::string& token) {
  const std::string suffix = ":" + std::to_string(port);
  if (request.host != "127.0.0.1" + suffix && request.host != "localhost" + suffix) {
    return "the Host header must be 127.0.0.1" + suffix + " or localhost" + suffix;
  }
  if (!request.origin.empty() && request.origin != "http://" + request.host) {
    return "requests from another origin are refused";
  }
  if (!SameToken(request.token, token)) return "the panel's token is missing or wrong";
  return {};
}

}  // namespace panel
