// The console client: discovery records, the connection and the line protocol.
#include "console_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

namespace pndconsole {
namespace {

constexpr auto kGreetingLimit = std::chrono::seconds(5);
constexpr std::size_t kTokenFileLimit = 4096;

std::string RecordFolder() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    return std::string(runtime) + "/pndsim";
  }
  return "/tmp/pndsim-" + std::to_string(getuid());
}

// The start time of process `pid` in clock ticks since boot; 0 when unknown.
unsigned long long ProcessStartTicks(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const auto close = text.rfind(')');
  if (close == std::string::npos || close + 2 > text.size()) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  for (int index = 3; index <= 22 && fields >> field; ++index) {
    if (index == 22) return std::strtoull(field.c_str(), nullptr, 10);
  }
  return 0;
}

// True while the process that wrote a record runs: the id is alive and, where both are known, started
// when the record says (an id reused by a later process does not count).
bool Alive(int pid, unsigned long long recordedStart) {
  if (pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) return false;
  const unsigned long long start = ProcessStartTicks(pid);
  return recordedStart == 0 || start == 0 || start == recordedStart;
}

// The token in ~/.pndsim_console_token, read as the console reads it: opened without blocking or
// following a link, and only from a regular file of at most 4096 bytes. Empty, with *error set, otherwise.
std::string TokenFromHome(std::string* error) {
  const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe): only read
  const std::string path = std::string(home != nullptr ? home : "") + "/.pndsim_console_token";
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot read the token file " + path + ": " + std::generic_category().message(errno);
    return {};
  }
  struct stat info {};
  std::string text(kTokenFileLimit, '\0');
  ssize_t got = -1;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= kTokenFileLimit) {
    got = read(fd, text.data(), text.size());
  }
  close(fd);
  if (got < 0) {
    *error = "the token file " + path + " is not a small regular file";
    return {};
  }
  text.resize(static_cast<std::size_t>(got));
  std::string token;
  std::istringstream(text) >> token;
  return token;
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
    close(fd);
  }
  return -1;
}

}  // namespace

std::vector<Device> ListDevices() {
  std::vector<Device> devices;
  std::error_code failure;
  for (const auto& entry : std::filesystem::directory_iterator(RecordFolder(), failure)) {
    const std::filesystem::path& path = entry.path();
    if (path.extension() != ".json") continue;
    std::ifstream file(path);
    const nlohmann::json record = nlohmann::json::parse(file, nullptr, false);
    if (!record.is_object()) continue;
    Device device;
    device.pid = record.value("pid", 0);
    device.port = record.value("port", 0);
    device.program = record.value("program", std::string());
    device.started = record.value("started", std::string());
    if (!Alive(device.pid, record.value("process_start", 0ULL))) {
      std::filesystem::remove(path, failure);
      continue;
    }
    devices.push_back(std::move(device));
  }
  std::sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) { return a.pid < b.pid; });
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

std::unique_ptr<Connection> Connection::Open(int port, std::string* error) {
  const int fd = ConnectLoopback(port);
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
    if (line->rfind("KO: ", 0) == 0) {
      *error = line->substr(4);
      return nullptr;
    }
    if (line->rfind("# ", 0) != 0) continue;
    if (connection->greeting_.empty()) connection->greeting_ = line->substr(2);
    if (*line == "# ready") break;
    if (line->rfind("# auth required", 0) == 0) {
      needsToken = true;
      break;
    }
  }
  if (needsToken) {
    const std::string token = TokenFromHome(error);
    if (token.empty()) {
      if (error->empty()) *error = "the token file is empty but the console asks for a token";
      return nullptr;
    }
    const auto reply = connection->Execute("auth " + token, {}, error);
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

std::optional<Reply> Connection::Execute(std::string_view line, const EventHandler& onEvent,
                                         std::string* error) {
  if (line.find_first_of("\r\n") != std::string_view::npos) {
    *error = "a command is one line";
    return std::nullopt;
  }
  std::string text(line);
  text += '\n';
  for (std::size_t sent = 0; sent < text.size();) {
    const ssize_t wrote = send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      *error = std::string("the console connection broke: ") + std::generic_category().message(errno);
      return std::nullopt;
    }
    sent += static_cast<std::size_t>(wrote);
  }
  Reply reply;
  while (true) {
    const auto received = ReadLine(std::chrono::milliseconds(-1), nullptr);
    if (!received) {
      *error = "the console closed the connection";
      return std::nullopt;
    }
    const std::string& got = *received;
    if (got.rfind("| ", 0) == 0) {
      reply.output.push_back(got.substr(2));
    } else if (got.rfind("* ", 0) == 0) {
      if (onEvent) onEvent(got.substr(2));
    } else if (got == "OK") {
      reply.ok = true;
      return reply;
    } else if (got.rfind("KO: ", 0) == 0) {
      reply.reason = got.substr(4);
      return reply;
    }
  }
}

bool Connection::ReadEvents(std::chrono::milliseconds limit, const EventHandler& onEvent) {
  while (true) {
    bool timedOut = false;
    const auto line = ReadLine(limit, &timedOut);
    if (!line) return timedOut;
    if (line->rfind("* ", 0) == 0 && onEvent) onEvent(line->substr(2));
  }
}

}  // namespace pndconsole
