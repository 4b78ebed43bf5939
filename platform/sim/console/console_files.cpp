// The console's files: the token file in the user's home and the discovery record in the user's runtime
// folder, both private to the user.
#include "console_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>
#include <vector>

namespace sim::console {
namespace {

constexpr const char* kTokenFileName = ".pndsim_console_token";

std::string ErrnoText(const std::string& what) {
  return what + ": " + std::generic_category().message(errno);
}

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

// The folder of discovery records, made private to the user; empty with *error set when unsafe.
std::string RecordFolder(std::string* error) {
  std::string folder;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    folder = std::string(runtime) + "/pndsim";
  } else {
    folder = "/tmp/pndsim-" + std::to_string(getuid());
  }
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = ErrnoText("cannot create " + folder);
    return {};
  }
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
      (info.st_mode & 077) != 0) {
    *error = folder + " is not a folder private to this user";
    return {};
  }
  return folder;
}

std::string RecordPath(const std::string& folder) {
  return folder + "/" + std::to_string(getpid()) + ".json";
}

// The process's start time in clock ticks since boot, which tells a live process from a later one that
// reuses its id; 0 when unknown.
unsigned long long ProcessStartTicks() {
  std::ifstream stat("/proc/self/stat");
  std::string text;
  std::getline(stat, text);
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // Field 22 of the line; the text after the command name starts at field 3.
  for (int index = 3; index <= 22 && fields >> field; ++index) {
    if (index == 22) return std::strtoull(field.c_str(), nullptr, 10);
  }
  return 0;
}

std::string& RecordedPath() {
  static auto* path = new std::string;
  return *path;
}

}  // namespace

std::optional<std::string> ReadToken(std::string* error) {
  const std::string home = HomeFolder();
  if (home.empty()) {
    *error = "no home folder for the token file";
    return std::nullopt;
  }
  const std::string path = home + "/" + kTokenFileName;
  if (access(path.c_str(), F_OK) != 0 && !CreateTokenFile(path, error)) return std::nullopt;
  // Without blocking or following a link: a FIFO put in its place must not hang the application (the
  // console opens while the library loads), and a link must not lead it to another user's file.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrnoText("cannot read " + path);
    return std::nullopt;
  }
  struct stat info {};
  std::string text;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= 4096) {
    text.resize(static_cast<std::size_t>(info.st_size));
    const ssize_t got = read(fd, text.data(), text.size());
    text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  } else {
    close(fd);
    *error = path + " is not a small regular file";
    return std::nullopt;
  }
  close(fd);
  const std::string token = Trimmed(text);
  if (!token.empty() && ((info.st_mode & 077) != 0 || info.st_uid != getuid())) {
    *error = path + " is open to other users (make it readable by its owner alone: chmod 600)";
    return std::nullopt;
  }
  return token;
}

std::string ProgramName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "unknown" : name;
}

bool WriteDiscoveryRecord(int port, std::string* error) {
  const std::string folder = RecordFolder(error);
  if (folder.empty()) return false;
  char started[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(started, sizeof started, "%Y-%m-%dT%H:%M:%SZ", &utc);
  const nlohmann::json record = {{"pid", getpid()},
                                 {"port", port},
                                 {"program", ProgramName()},
                                 {"started", started},
                                 {"process_start", ProcessStartTicks()}};
  const std::string path = RecordPath(folder);
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << record.dump() << '\n';
    if (!out.flush()) {
      *error = "cannot write " + temporary;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = ErrnoText("cannot write " + path);
    std::remove(temporary.c_str());
    return false;
  }
  RecordedPath() = path;
  return true;
}

void RemoveDiscoveryRecord() {
  if (RecordedPath().empty()) return;
  std::remove(RecordedPath().c_str());
  RecordedPath().clear();
}

}  // namespace sim::console
