// Discovery records: written by the host, listed by clients, in the user's runtime folder.
#include "discovery.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "protocol.h"

namespace pndconsole::protocol {
namespace {

// A record is a few dozen bytes; anything larger is no record.
constexpr std::size_t kRecordLimit = 4096;

// The folder, made private to the user; empty with *error set when unsafe.
std::string PrivateRecordFolder(std::string* error) {
  std::string folder = RecordFolder();
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

// The start time of process `pid` in clock ticks since boot, which tells a live process from a later one
// that reuses its id; 0 when unknown.
unsigned long long ProcessStartTicks(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const auto close = text.rfind(')');
  if (close == std::string::npos || close + 2 > text.size()) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // Field 22 of the line; the text after the command name starts at field 3.
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

// A record's text, read without blocking or following a link; empty when it is not a small regular file.
std::string ReadRecord(const std::filesystem::path& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat info {};
  std::string text;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= kRecordLimit) {
    text.resize(kRecordLimit);
    const ssize_t got = read(fd, text.data(), text.size());
    text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  }
  close(fd);
  return text;
}

struct Written {
  std::mutex mutex;
  std::string path;
};

Written& TheWritten() {
  static auto* written = new Written;
  return *written;
}

}  // namespace

std::string RecordFolder() {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    return std::string(runtime) + "/pndsim";
  }
  return "/tmp/pndsim-" + std::to_string(getuid());
}

std::string ProgramName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "unknown" : name;
}

bool WriteRecord(int port, std::string* error) {
  const std::string folder = PrivateRecordFolder(error);
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
                                 {"process_start", ProcessStartTicks(getpid())}};
  const std::string path = folder + "/" + std::to_string(getpid()) + ".json";
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
  Written& written = TheWritten();
  std::lock_guard lock(written.mutex);
  written.path = path;
  return true;
}

void RemoveRecord() {
  Written& written = TheWritten();
  std::lock_guard lock(written.mutex);
  if (written.path.empty()) return;
  std::remove(written.path.c_str());
  written.path.clear();
}

std::vector<Device> ListDevices() {
  std::vector<Device> devices;
  std::error_code failure;
  for (const auto& entry : std::filesystem::directory_iterator(RecordFolder(), failure)) {
    const std::filesystem::path& path = entry.path();
    if (path.extension() != ".json") continue;
    const nlohmann::json record = nlohmann::json::parse(ReadRecord(path), nullptr, false);
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

}  // namespace pndconsole::protocol
