// Reading the host's zoneinfo files and finding the host's zone.
#include "sim/calendar/tzdata.h"

#include "sim/kernel/kernel.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <vector>

namespace sim::tz {
namespace {

constexpr std::size_t kHeaderBytes = 44;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The header's six counts, widened so that the sizes computed from them cannot wrap.
struct Counts {
  std::size_t isUt, isStd, leap, time, type, chars;
};

std::optional<Counts> ReadHeader(const std::vector<std::uint8_t>& file, std::size_t at) {
  if (file.size() < at + kHeaderBytes || file[at] != 'T' || file[at + 1] != 'Z' || file[at + 2] != 'i' ||
      file[at + 3] != 'f') {
    return std::nullopt;
  }
  const std::uint8_t* p = file.data() + at + 20;
  return Counts{BigEndian32(p),      BigEndian32(p + 4),  BigEndian32(p + 8),
                BigEndian32(p + 12), BigEndian32(p + 16), BigEndian32(p + 20)};
}

std::size_t DataBytes(const Counts& c, std::size_t timeBytes) {
  return c.time * timeBytes + c.time + c.type * 6 + c.chars + c.leap * (timeBytes + 4) + c.isStd + c.isUt;
}

// The zone's last local time type as a fixed rule, for files without a usable rule line.
std::optional<PosixTz> LastTypeRule(const std::vector<std::uint8_t>& file, std::size_t dataAt,
                                    const Counts& c, std::size_t timeBytes) {
  if (c.type == 0 || file.size() < dataAt + DataBytes(c, timeBytes)) {
    return std::nullopt;
  }
  const std::size_t typeIndexAt = dataAt + c.time * timeBytes;
  const std::size_t typesAt = typeIndexAt + c.time;
  const std::size_t charsAt = typesAt + c.type * 6;
  const std::size_t type = c.time == 0 ? 0 : file[typeIndexAt + c.time - 1];
  if (type >= c.type) {
    return std::nullopt;
  }
  const std::uint8_t* record = file.data() + typesAt + type * 6;
  PosixTz rule;
  rule.standardOffset = static_cast<std::int32_t>(BigEndian32(record));
  for (std::size_t i = charsAt + record[5]; i < charsAt + c.chars && file[i] != 0; ++i) {
    rule.standardName += static_cast<char>(file[i]);
  }
  return rule;
}

std::optional<PosixTz> ParseZoneFile(const std::vector<std::uint8_t>& file) {
  const auto v1 = ReadHeader(file, 0);
  if (!v1) {
    return std::nullopt;
  }
  if (file[4] < '2') {
    return LastTypeRule(file, kHeaderBytes, *v1, 4);
  }
  const std::size_t v2At = kHeaderBytes + DataBytes(*v1, 4);
  const auto v2 = ReadHeader(file, v2At);
  if (!v2) {
    return std::nullopt;
  }
  const std::size_t dataAt = v2At + kHeaderBytes;
  const std::size_t footerAt = dataAt + DataBytes(*v2, 8);
  if (footerAt < file.size() && file[footerAt] == '\n') {
    std::string footer;
    for (std::size_t i = footerAt + 1; i < file.size() && file[i] != '\n'; ++i) {
      footer += static_cast<char>(file[i]);
    }
    if (auto rule = ParsePosixTz(footer)) {
      return rule;
    }
  }
  return LastTypeRule(file, dataAt, *v2, 8);
}

// The environment variable `name`, or null. The C library reads TZ and TZDIR the same way; a test that
// changes them does so single-threaded.
const char* Environment(const char* name) {
  return std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
}

std::filesystem::path ZoneinfoDirectory() {
  const char* dir = Environment("TZDIR");
  return dir != nullptr && *dir != '\0' ? std::filesystem::path(dir)
                                        : std::filesystem::path("/usr/share/zoneinfo");
}

std::optional<PosixTz> ReadZoneFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseZoneFile(file);
}

// Zone files do not change while the process runs; remembering them keeps a reset of the device, which
// regenerates the time-zone database, to a few microseconds.
struct RuleCache {
  Mutex mutex;
  std::map<std::string, std::optional<PosixTz>, std::less<>> rules GUARDED_BY(mutex);
};

RuleCache& Cache() {
  static auto* cache = new RuleCache;
  return *cache;
}

std::optional<PosixTz> CachedZoneFile(const std::filesystem::path& path) {
  RuleCache& cache = Cache();
  const std::string key = path.string();
  {
    sim::MutexLock lock(cache.mutex);
    if (auto it = cache.rules.find(key); it != cache.rules.end()) {
      return it->second;
    }
  }
  auto rule = ReadZoneFile(path);
  sim::MutexLock lock(cache.mutex);
  cache.rules.emplace(key, rule);
  return rule;
}

PosixTz Utc() {
  PosixTz rule;
  rule.standardName = "UTC";
  return rule;
}

// The zone name in a path such as /usr/share/zoneinfo/Europe/Berlin.
std::optional<std::string> NameInZoneinfoPath(const std::string& path) {
  const std::string marker = "zoneinfo/";
  const std::size_t at = path.rfind(marker);
  if (at == std::string::npos || at + marker.size() >= path.size()) {
    return std::nullopt;
  }
  std::string name = path.substr(at + marker.size());
  for (const char* prefix : {"posix/", "right/"}) {
    if (name.rfind(prefix, 0) == 0) {
      name.erase(0, std::string_view(prefix).size());
    }
  }
  return name;
}

}  // namespace

std::optional<PosixTz> LoadRule(std::string_view name) {
  if (!name.empty() && name.front() == ':') {
    name.remove_prefix(1);
  }
  if (name.empty()) {
    return std::nullopt;
  }
  const std::filesystem::path path(name);
  for (const auto& part : path) {
    if (part == "..") {
      return std::nullopt;
    }
  }
  if (auto rule = CachedZoneFile(path.is_absolute() ? path : ZoneinfoDirectory() / path)) {
    return rule;
  }
  return ParsePosixTz(name);
}

NamedRule HostZone() {
  if (const char* tz = Environment("TZ"); tz != nullptr) {
    std::string name(tz);
    if (!name.empty() && name.front() == ':') {
      name.erase(0, 1);
    }
    if (auto rule = LoadRule(name)) {
      return {std::move(name), std::move(*rule)};
    }
    return {"UTC", Utc()};
  }
  const std::filesystem::path localtime("/etc/localtime");
  if (auto rule = CachedZoneFile(localtime)) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(localtime, error);
    if (!error) {
      if (auto name = NameInZoneinfoPath(target.string())) {
        return {std::move(*name), std::move(*rule)};
      }
    }
    std::ifstream timezoneFile("/etc/timezone");
    std::string name;
    if (timezoneFile && std::getline(timezoneFile, name) && !name.empty()) {
      return {name, std::move(*rule)};
    }
    return {"localtime", std::move(*rule)};
  }
  return {"UTC", Utc()};
}

}  // namespace sim::tz
