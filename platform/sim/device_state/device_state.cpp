// The device's whole state on the running simulator: loading a profile (check everything, then reset and
// apply each section), writing the device's state as a profile, and the device's keys with the profile's
// "keys" member.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "pndsim/pndsim.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"

namespace sim::device_state {
namespace {

using profile::DeviceProfile;
using profile::Fault;
using profile::Json;

// One hardware key of the device.
struct DeviceKey {
  std::string name;
  unsigned code = 0;
};
using KeyList = std::vector<DeviceKey>;

extern const profile::Section<KeyList> kKeys;

// The device's keys and the lock that makes a load one step for other loads and key readers.
struct KeyState {
  Mutex mutex;
  KeyList keys GUARDED_BY(mutex) = kKeys.BuiltIn();
};

KeyState& Keys() {
  static KeyState* state = [] {
    auto* created = new KeyState;
    OnReset([created] {
      MutexLock lock(created->mutex);
      created->keys = kKeys.BuiltIn();
    });
    return created;
  }();
  return *state;
}

void ReadKeys(const Json& value, const std::string& at, KeyList& keys) {
  if (!value.is_array()) throw Fault{at, false, "expected an array of keys, got " + profile::Shown(value)};
  KeyList read;
  std::set<std::string> names;
  std::set<unsigned> codes;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string where = at + "/" + std::to_string(i);
    const Json& entry = value[i];
    profile::RequireMembers(entry, where, {"name", "code"}, "a key with a name and a code");
    if (!entry.contains("name") || !entry.contains("code")) {
      throw Fault{where, false, "expected a key with both a \"name\" and a \"code\""};
    }
    DeviceKey key{
        profile::Name(entry["name"], profile::Member(where, "name"), "a key name"),
        static_cast<unsigned>(profile::Integer(entry["code"], profile::Member(where, "code"), 1, 254))};
    if (!names.insert(key.name).second) {
      throw Fault{profile::Member(where, "name"), false, "key name listed twice"};
    }
    if (!codes.insert(key.code).second) {
      throw Fault{profile::Member(where, "code"), false, "key code listed twice"};
    }
    read.push_back(std::move(key));
  }
  keys = std::move(read);
}

Json WriteKeys(const KeyList& keys) {
  Json list = Json::array();
  for (const DeviceKey& key : keys) list.push_back(Json{{"name", key.name}, {"code", key.code}});
  return list;
}

void ApplyKeys(const KeyList& keys) {
  KeyState& state = Keys();
  MutexLock lock(state.mutex);
  state.keys = keys;
}

KeyList CaptureKeys() {
  KeyState& state = Keys();
  MutexLock lock(state.mutex);
  return state.keys;
}

constinit const profile::Section<KeyList> kKeys{"keys", 10, ReadKeys, WriteKeys, ApplyKeys, CaptureKeys};
const profile::Registration kKeysRegistration{kKeys};

// A file descriptor closed when it goes out of scope.
struct OpenFile {
  explicit OpenFile(int opened) : fd(opened) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (fd >= 0) close(fd);
  }
  int fd;
};

// Makes a load or a capture of the device one step for the others.
Mutex& LoadMutex() {
  static auto* mutex = new Mutex;
  return *mutex;
}

// The profile last loaded, which RestoreProfile returns to; the built-in one until a load.
DeviceProfile& LoadedProfile() REQUIRES(LoadMutex()) {
  static auto* loaded = new DeviceProfile;
  return *loaded;
}

DeviceProfile Capture() REQUIRES(LoadMutex()) {
  DeviceProfile profile;
  for (const profile::SectionBase* section : profile::Sections()) section->Capture(profile);
  return profile;
}

// Sets everything in which `profile` differs from the device just reset, section by section in place
// order, so that loading the built-in profile leaves the device exactly as a reset does, but for the time
// scale: it is how the device is driven, not part of its state, and a running library's threads that
// began a wait while the scale was back at 1 would wait at that pace.
void Apply(const DeviceProfile& profile) REQUIRES(LoadMutex()) {
  ResetDevice();
  for (const profile::SectionBase* section : profile::Sections()) section->Apply(profile);
  pndsim::ClearTrace();
}

}  // namespace
}  // namespace sim::device_state

using sim::device_state::DeviceProfile;

std::optional<pndsim::ProfileError> pndsim::LoadProfileText(std::string_view json, std::string_view source) {
  DeviceProfile profile;
  if (auto error = sim::profile::ReadProfileText(json, source, profile)) return error;
  sim::MutexLock lock(sim::device_state::LoadMutex());
  sim::device_state::Apply(profile);
  sim::device_state::LoadedProfile() = std::move(profile);
  return std::nullopt;
}

void pndsim::RestoreProfile() {
  sim::MutexLock lock(sim::device_state::LoadMutex());
  sim::device_state::Apply(sim::device_state::LoadedProfile());
}

std::optional<pndsim::ProfileError> pndsim::LoadProfile(const std::string& path) {
  const auto refused = [&](std::string message) { return ProfileError{path, 0, 0, {}, std::move(message)}; };
  const auto unreadable = [&](int error) {
    return refused("cannot read the file: " + std::generic_category().message(error));
  };
  const auto tooLarge = [&] {
    return refused("larger than 1 MiB (" + std::to_string(kProfileSizeLimit) +
                   " bytes), the most a profile may hold");
  };
  // Opened without blocking, so that a FIFO without a writer is refused rather than waited for.
  const sim::device_state::OpenFile file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) return unreadable(errno);
  struct stat info {};
  if (fstat(file.fd, &info) != 0) return unreadable(errno);
  if (S_ISDIR(info.st_mode)) return unreadable(EISDIR);
  if (!S_ISREG(info.st_mode)) return refused("not a regular file");
  if (static_cast<std::uintmax_t>(info.st_size) > kProfileSizeLimit) return tooLarge();
  // Reads on to the end rather than trusting fstat, which a file growing meanwhile outruns.
  std::string text;
  char chunk[65536];
  while (text.size() <= kProfileSizeLimit) {
    const ssize_t got = read(file.fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return unreadable(errno);
    if (got == 0) return LoadProfileText(text, path);
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return tooLarge();
}

std::string pndsim::DeviceState() {
  sim::MutexLock lock(sim::device_state::LoadMutex());
  return sim::profile::ProfileText(sim::device_state::Capture());
}

std::vector<std::pair<std::string, unsigned>> pndsim::DeviceKeys() {
  sim::device_state::KeyState& keys = sim::device_state::Keys();
  sim::MutexLock lock(keys.mutex);
  std::vector<std::pair<std::string, unsigned>> result;
  for (const auto& key : keys.keys) result.emplace_back(key.name, key.code);
  return result;
}
