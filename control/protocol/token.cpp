// The console's token file: where it is, how it is read safely, and the host's creation of it.
#include "token.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "protocol.h"

namespace pndconsole::protocol {
namespace {

constexpr const char* kTokenFileName = ".pndsim_console_token";

std::string HomeFolder() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read, as every program reads HOME
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Creates the token file with a fresh token; an existing file (made by a racing process) is left alone.
bool CreateTokenFile(const std::string& path, std::string* error) {
  unsigned char random[16];
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    *error = ErrnoText("cannot draw a random token");
    return false;
  }
  std::string token;
  for (unsigned char byte : random) {
    static constexpr char kHex[] = "0123456789abcdef";
    token += kHex[byte >> 4];
    token += kHex[byte & 0xF];
  }
  token += '\n';
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (errno == EEXIST) return true;
    *error = ErrnoText("cannot create " + path);
    return false;
  }
  const bool written = write(fd, token.data(), token.size()) == static_cast<ssize_t>(token.size());
  close(fd);
  if (!written) *error = "cannot write " + path;
  return written;
}

}  // namespace

std::string TokenPath() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read
  if (const char* chosen = std::getenv(kTokenFileVariable); chosen != nullptr && *chosen != '\0') {
    return chosen;
  }
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/" + kTokenFileName;
}

std::optional<std::string> ReadTokenFile(const std::string& path, bool private_only, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrnoText("cannot read the token file " + path);
    return std::nullopt;
  }
  struct stat info {};
  std::string text;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= kTokenFileLimit) {
    text.resize(kTokenFileLimit);
    const ssize_t got = read(fd, text.data(), text.size());
    text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  } else {
    close(fd);
    *error = "the token file " + path + " is not a small regular file";
    return std::nullopt;
  }
  close(fd);
  std::string token = Trimmed(text);
  if (private_only && !token.empty() && ((info.st_mode & 077) != 0 || info.st_uid != getuid())) {
    *error =
        "the token file " + path + " is open to other users (make it readable by its owner alone: chmod 600)";
    return std::nullopt;
  }
  return token;
}

std::optional<std::string> HostToken(std::string* error) {
  const std::string path = TokenPath();
  if (path.empty()) {
    *error = "no home folder for the token file";
    return std::nullopt;
  }
  if (access(path.c_str(), F_OK) != 0 && !CreateTokenFile(path, error)) return std::nullopt;
  return ReadTokenFile(path, true, error);
}

bool TokensMatch(std::string_view given, std::string_view expected) {
  // Compares every byte whatever the first difference, so timing tells nothing of the token.
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference |=
        static_cast<unsigned char>(given[i] ^ expected[i % std::max<std::size_t>(expected.size(), 1)]);
  }
  return difference == 0 && !expected.empty();
}

}  // namespace pndconsole::protocol
