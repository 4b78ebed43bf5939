// The device's whole state on the running simulator: loading a profile (check everything, then reset and
// apply), writing the device's state as a profile, and the device's keys.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <tuple>

#include "ce/identity.h"
#include "pndsim/pndsim.h"
#include "sim/calendar/calendar.h"
#include "sim/identity/identity.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"
#include "sim/text_codec/text_codec.h"

namespace sim::device_state {
namespace {

using profile::BuiltInProfile;
using profile::DeviceKey;
using profile::DeviceProfile;
using profile::SameZoneRules;
using profile::ZoneChoice;
using Bytes = profile::Bytes;

constexpr std::string_view kCalibrationKey = "HARDWARE\\DEVICEMAP\\TOUCH";
constexpr std::string_view kCalibrationValue = "CalibrationData";

// The device's keys and the lock that makes a load one step for other loads and key readers.
struct KeyState {
  Mutex mutex;
  std::vector<DeviceKey> keys GUARDED_BY(mutex) = BuiltInProfile().keys;
};

KeyState& Keys() {
  static KeyState* state = [] {
    auto* created = new KeyState;
    OnReset([created] {
      MutexLock lock(created->mutex);
      created->keys = BuiltInProfile().keys;
    });
    return created;
  }();
  return *state;
}

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
  static auto* loaded = new DeviceProfile(BuiltInProfile());
  return *loaded;
}

std::int64_t HostYear() {
  const auto now = std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
  return civil::YearOfMs(now.time_since_epoch().count());
}

pndsim::ZoneInfo ZoneInfoOf(const TIME_ZONE_INFORMATION& zone) {
  const auto date = [](const SYSTEMTIME& t) {
    return pndsim::ZoneDate{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                            t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
  };
  const auto name = [](const WCHAR(&text)[32]) {
    std::size_t length = 0;
    while (length < 31 && text[length] != L'\0') ++length;
    return Narrow(std::wstring_view(text, length));
  };
  return pndsim::ZoneInfo{zone.Bias,         name(zone.StandardName), date(zone.StandardDate),
                          zone.StandardBias, name(zone.DaylightName), date(zone.DaylightDate),
                          zone.DaylightBias};
}

// The zone as a profile names it: the host's, a name that gives exactly the current rules, or the rules.
void CaptureZone(DeviceProfile& profile) {
  const pndsim::ZoneInfo current = pndsim::CurrentTimeZone();
  const std::string name = pndsim::TimeZoneName();
  const tz::NamedRule host = tz::HostZone();
  if (name == host.name &&
      SameZoneRules(current, ZoneInfoOf(tz::ZoneInformationFor(host.rule, static_cast<int>(HostYear()))))) {
    profile.zoneChoice = ZoneChoice::Host;
    return;
  }
  const int deviceYear = static_cast<int>(civil::YearOfMs(pndsim::DeviceTime().time_since_epoch().count()));
  const auto named = pndsim::LookupTimeZone(name, deviceYear);
  if (named && SameZoneRules(current, *named)) {
    profile.zoneChoice = ZoneChoice::Named;
    profile.zoneName = name;
    return;
  }
  profile.zoneChoice = ZoneChoice::Rules;
  profile.zoneRules = current;
}

// The preset and platform identifiers of a record the device built from them; nothing for another record.
bool SplitDeviceId(const Bytes& record, DeviceProfile& profile) {
  DEVICE_ID head{};
  if (record.size() < sizeof head) return false;
  std::memcpy(&head, record.data(), sizeof head);
  const auto slice = [&](DWORD offset, DWORD bytes) {
    if (offset == 0 || offset > record.size() || bytes > record.size() - offset) return Bytes();
    return Bytes(record.begin() + offset, record.begin() + offset + bytes);
  };
  Bytes preset = slice(head.dwPresetIDOffset, head.dwPresetIDBytes);
  Bytes platform = slice(head.dwPlatformIDOffset, head.dwPlatformIDBytes);
  if (sim::DeviceIdRecord(preset, platform) != record) return false;
  profile.presetId = std::move(preset);
  profile.platformId = std::move(platform);
  return true;
}

DeviceProfile Capture() REQUIRES(LoadMutex()) {
  DeviceProfile profile;
  {
    KeyState& keys = Keys();
    sim::MutexLock lock(keys.mutex);
    profile.keys = keys.keys;
  }
  profile.power = pndsim::GetPowerStatus();
  profile.backlightLevel = pndsim::BacklightLevel();
  const std::uint32_t volume = pndsim::VolumeWord();
  profile.volumeLeft = static_cast<std::uint16_t>(volume & 0xFFFF);
  profile.volumeRight = static_cast<std::uint16_t>(volume >> 16);
  std::tie(profile.screenWidth, profile.screenHeight) = pndsim::ScreenSize();
  profile.cards = pndsim::MountedCards();
  const Bytes idRecord = pndsim::DeviceIdRecord();
  if (!SplitDeviceId(idRecord, profile)) profile.deviceIdRecord = idRecord;
  profile.deviceInfo = pndsim::DeviceInfoRecord();
  const Bytes versionText = pndsim::VersionText();
  profile.versionText.assign(versionText.begin(), std::find(versionText.begin(), versionText.end(), 0));
  profile.versionRecord = pndsim::VersionRecord();
  profile.oemInfo = pndsim::OemInfo();
  profile.btAddress = pndsim::BtAddress();
  const auto flash = pndsim::FlashArea();
  profile.flash.assign(flash.begin(), flash.end());
  profile.calibrationText =
      pndsim::GetRegistryString(pndsim::RegistryRoot::LocalMachine, kCalibrationKey, kCalibrationValue);
  profile.calibrationData = pndsim::CalibrationData();
  profile.memory = pndsim::Memory();
  profile.files = pndsim::Files();
  profile.applicationPath = pndsim::ApplicationPath();
  profile.telephoneInstalled = pndsim::ProgramInstalled(pndsim::kTelephoneProgramPath);
  profile.telephoneWindowDelay = pndsim::TelephoneWindowDelay();
  const pndsim::TelephoneState telephone = pndsim::Telephone();
  profile.telephoneBluetoothPower = telephone.bluetoothPower != 0;
  profile.telephoneVolumeStep = telephone.volumeStep;
  profile.telephoneLanguage = telephone.language;
  if (pndsim::ClockPinned()) {
    profile.pinnedMs = pndsim::DeviceTime().time_since_epoch().count();
  } else {
    profile.clockOffsetMs = pndsim::ClockOffset().count();
  }
  CaptureZone(profile);
  return profile;
}

// Sets everything in which `profile` differs from the device just reset, so that loading the built-in
// profile leaves the device exactly as a reset does, but for the time scale: it is how the device is
// driven, not part of its state, and a running library's threads that began a wait while the scale was
// back at 1 would wait at that pace.
void Apply(const DeviceProfile& profile) REQUIRES(LoadMutex()) {
  ResetDevice();
  {
    KeyState& keys = Keys();
    sim::MutexLock lock(keys.mutex);
    keys.keys = profile.keys;
  }
  const pndsim::PowerStatus power = pndsim::GetPowerStatus();
  if (std::memcmp(&power, &profile.power, sizeof power) != 0) pndsim::SetPowerStatus(profile.power);
  pndsim::SetBacklightLevel(profile.backlightLevel);
  pndsim::SetVolumeChannels(profile.volumeLeft, profile.volumeRight);
  pndsim::SetScreenSize(profile.screenWidth, profile.screenHeight);
  if (profile.deviceIdRecord) {
    pndsim::SetDeviceIdRecord(*profile.deviceIdRecord);
  } else {
    pndsim::SetDeviceId(profile.presetId, profile.platformId);
  }
  pndsim::SetDeviceInfoRecord(profile.deviceInfo);
  Bytes versionText(profile.versionText.begin(), profile.versionText.end());
  versionText.push_back(0);
  pndsim::SetVersionText(versionText);
  pndsim::SetVersionRecord(profile.versionRecord);
  pndsim::SetOemInfo(profile.oemInfo);
  pndsim::SetBtAddress(profile.btAddress);
  if (std::any_of(profile.flash.begin(), profile.flash.end(), [](std::uint8_t b) { return b != 0; })) {
    pndsim::WriteFlashArea(0, profile.flash);
  }
  const auto calibration =
      pndsim::GetRegistryString(pndsim::RegistryRoot::LocalMachine, kCalibrationKey, kCalibrationValue);
  if (calibration != profile.calibrationText) {
    if (profile.calibrationText) {
      pndsim::SetRegistryString(pndsim::RegistryRoot::LocalMachine, kCalibrationKey, kCalibrationValue,
                                *profile.calibrationText);
    } else {
      pndsim::DeleteRegistryValue(pndsim::RegistryRoot::LocalMachine, kCalibrationKey, kCalibrationValue);
    }
  }
  pndsim::SetCalibrationData(profile.calibrationData);
  pndsim::SetMemory(profile.memory);
  for (const pndsim::FileEntry& file : pndsim::Files()) pndsim::RemoveFile(file.path);
  for (const pndsim::FileEntry& file : profile.files) pndsim::SetFile(file.path, file.folder);
  // A card is a folder of the file tree: mounted once the tree is the profile's, it keeps the files the
  // profile lists in it.
  for (const std::string& card : profile.cards) pndsim::MountCard(card);
  pndsim::SetApplicationPath(profile.applicationPath);
  if (pndsim::ProgramInstalled(pndsim::kTelephoneProgramPath) != profile.telephoneInstalled) {
    pndsim::SetTelephoneInstalled(profile.telephoneInstalled);
  }
  pndsim::SetTelephoneWindowDelay(profile.telephoneWindowDelay);
  const pndsim::TelephoneState telephone = pndsim::Telephone();
  const int bluetoothPower = profile.telephoneBluetoothPower ? 1 : 0;
  if (telephone.bluetoothPower != bluetoothPower) pndsim::SetTelephoneBluetoothPower(bluetoothPower);
  if (telephone.volumeStep != profile.telephoneVolumeStep) {
    pndsim::SetTelephoneVolumeStep(profile.telephoneVolumeStep);
  }
  pndsim::SetTelephoneLanguage(profile.telephoneLanguage);
  if (profile.pinnedMs) {
    pndsim::PinClock(pndsim::DeviceInstant(std::chrono::milliseconds(*profile.pinnedMs)));
  } else if (profile.clockOffsetMs != 0) {
    pndsim::SetClockOffset(std::chrono::milliseconds(profile.clockOffsetMs));
  }
  // After the clock: a named zone takes the rules of the device's year.
  if (profile.zoneChoice == ZoneChoice::Named) pndsim::SetTimeZoneByName(profile.zoneName);
  if (profile.zoneChoice == ZoneChoice::Rules) pndsim::SetTimeZoneInfo(profile.zoneRules);
  pndsim::ClearTrace();
}

}  // namespace
}  // namespace sim::device_state

using sim::device_state::DeviceProfile;

std::optional<pndsim::ProfileError> pndsim::LoadProfileText(std::string_view json, std::string_view source) {
  DeviceProfile profile = sim::profile::BuiltInProfile();
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
