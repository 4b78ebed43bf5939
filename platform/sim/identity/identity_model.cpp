// The simulated device's identity: the identifier, information and version records answered through the
// kernel I/O control call, the OEM text and the touch calibration.
#include <algorithm>
#include <cstring>

#include "ce/identity.h"
#include "ce/power.h"
#include "pndsim/identity.h"
#include "sim/identity/identity.h"
#include "sim/io_control/io_control.h"
#include "sim/kernel/kernel.h"
#include "sim/text_codec/text_codec.h"

namespace sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct IdentityModel {
  IdentityModel() { Restore(); }  // not shared yet: no lock to take

  Mutex mutex;
  Bytes deviceId GUARDED_BY(mutex);
  Bytes deviceInfo GUARDED_BY(mutex);
  Bytes versionText GUARDED_BY(mutex);
  Bytes versionRecord GUARDED_BY(mutex);
  std::wstring oemInfo GUARDED_BY(mutex);
  Bytes calibrationData GUARDED_BY(mutex);
  Bytes sentCalibration GUARDED_BY(mutex);
  int touchCalibrations GUARDED_BY(mutex) = 0;

  // Back to the built-in profile, with nothing sent or run.
  void Restore() REQUIRES(mutex) {
    const IdentitySetting& builtIn = kIdentitySection.BuiltIn();
    deviceId = builtIn.deviceIdRecord ? *builtIn.deviceIdRecord
                                      : DeviceIdRecord(builtIn.presetId, builtIn.platformId);
    deviceInfo = builtIn.deviceInfo;
    // The device answers the text with its terminator.
    versionText.assign(builtIn.versionText.begin(), builtIn.versionText.end());
    versionText.push_back(0);
    versionRecord = builtIn.versionRecord;
    oemInfo = Widen(builtIn.oemInfo);
    calibrationData = kCalibrationSection.BuiltIn().data;
    sentCalibration.clear();
    touchCalibrations = 0;
  }
};

IdentityModel& Model() {
  static auto* model = [] {
    auto* created = new IdentityModel;
    OnReset([] {
      IdentityModel& identity = Model();
      sim::MutexLock lock(identity.mutex);
      identity.Restore();
    });
    return created;
  }();
  return *model;
}

// Copies `bytes` to the request's output: FALSE with
// ERROR_INSUFFICIENT_BUFFER, nothing written, when they do not fit.
BOOL Answer(const IoControlRequest& request, const Bytes& bytes) {
  if (request.output == nullptr || request.outputSize < bytes.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(request.output, bytes.data(), bytes.size());
  if (request.bytesReturned != nullptr) *request.bytesReturned = static_cast<DWORD>(bytes.size());
  return TRUE;
}

void Resize(Bytes& target, std::span<const std::uint8_t> bytes, std::size_t size) {
  target.assign(size, 0);
  std::copy_n(bytes.begin(), std::min(size, bytes.size()), target.begin());
}

}  // namespace

Bytes DeviceIdRecord(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> platform) {
  constexpr DWORD kHead = sizeof(DEVICE_ID);
  const auto presetBytes = static_cast<DWORD>(preset.size());
  const auto platformBytes = static_cast<DWORD>(platform.size());
  const DEVICE_ID head{kHead + presetBytes + platformBytes, preset.empty() ? 0 : kHead, presetBytes,
                       platform.empty() ? 0 : kHead + presetBytes, platformBytes};
  Bytes record(sizeof head);
  std::memcpy(record.data(), &head, sizeof head);
  record.insert(record.end(), preset.begin(), preset.end());
  record.insert(record.end(), platform.begin(), platform.end());
  return record;
}

// A device identifier that does not fit tells the caller the size it needs
// in the record's first word, as the platform does.
BOOL DeviceIdIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Record("identity.deviceid", {NumberField("size", static_cast<std::int64_t>(request.outputSize))});
  if (request.output != nullptr && request.outputSize >= sizeof(DWORD) &&
      request.outputSize < identity.deviceId.size()) {
    const auto needed = static_cast<DWORD>(identity.deviceId.size());
    std::memcpy(request.output, &needed, sizeof needed);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return Answer(request, identity.deviceId);
}

BOOL DeviceInfoIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Record("identity.deviceinfo", {NumberField("size", static_cast<std::int64_t>(request.outputSize))});
  return Answer(request, identity.deviceInfo);
}

BOOL VersionRecordIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Record("identity.version", {NumberField("size", static_cast<std::int64_t>(request.outputSize))});
  return Answer(request, identity.versionRecord);
}

// The version text is cut to the caller's size; a cut text is reported as
// a failure with the bytes that fit written.
BOOL VersionTextIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Record("identity.versiontext", {NumberField("size", static_cast<std::int64_t>(request.outputSize))});
  if (request.output == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::size_t count = std::min<std::size_t>(request.outputSize, identity.versionText.size());
  std::memcpy(request.output, identity.versionText.data(), count);
  if (request.bytesReturned != nullptr) *request.bytesReturned = static_cast<DWORD>(count);
  if (count < identity.versionText.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return TRUE;
}

BOOL GetCalibrationIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Record("identity.calibration.get", {NumberField("size", static_cast<std::int64_t>(request.outputSize))});
  return Answer(request, identity.calibrationData);
}

BOOL SetCalibrationIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Record("identity.calibration.set", {NumberField("size", static_cast<std::int64_t>(request.inputSize))});
  if (request.input == nullptr && request.inputSize != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(request.input);
  identity.sentCalibration.assign(bytes, bytes + request.inputSize);
  identity.calibrationData = identity.sentCalibration;
  return TRUE;
}

}  // namespace sim

using namespace sim;

BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT) {
  if (action != SPI_GETOEMINFO) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Record("identity.oeminfo", {NumberField("size", static_cast<std::int64_t>(uiParam))});
  const std::size_t bytes = (identity.oemInfo.size() + 1) * sizeof(wchar_t);
  if (pvParam == nullptr || uiParam < bytes) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(pvParam, identity.oemInfo.c_str(), bytes);
  return TRUE;
}

BOOL TouchCalibrate() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  ++identity.touchCalibrations;
  Record("identity.touchcalibrate",
         {NumberField("count", static_cast<std::int64_t>(identity.touchCalibrations))}, "{count}");
  return TRUE;
}

void pndsim::SetDeviceId(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> platform) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  identity.deviceId = sim::DeviceIdRecord(preset, platform);
}

void pndsim::SetDeviceIdRecord(std::span<const std::uint8_t> record) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  identity.deviceId.assign(record.begin(), record.end());
}

std::vector<std::uint8_t> pndsim::DeviceIdRecord() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return identity.deviceId;
}

void pndsim::SetDeviceInfoRecord(std::span<const std::uint8_t> record) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Resize(identity.deviceInfo, record, DEVICE_INFO_RECORD_SIZE);
}

std::vector<std::uint8_t> pndsim::DeviceInfoRecord() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return identity.deviceInfo;
}

void pndsim::SetVersionText(std::span<const std::uint8_t> bytes) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  identity.versionText.assign(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> pndsim::VersionText() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return identity.versionText;
}

std::vector<std::uint8_t> pndsim::VersionRecord() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return identity.versionRecord;
}

void pndsim::SetVersionRecord(std::span<const std::uint8_t> record) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  Resize(identity.versionRecord, record, VERSION_RECORD_SIZE);
}

std::string pndsim::OemInfo() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return Narrow(identity.oemInfo.c_str());
}

void pndsim::SetOemInfo(const std::string& text) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  identity.oemInfo = Widen(text);
}

std::vector<std::uint8_t> pndsim::CalibrationData() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return identity.calibrationData;
}

void pndsim::SetCalibrationData(std::span<const std::uint8_t> bytes) {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  identity.calibrationData.assign(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> pndsim::SentCalibration() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return identity.sentCalibration;
}

int pndsim::TouchCalibrationCount() {
  IdentityModel& identity = Model();
  sim::MutexLock lock(identity.mutex);
  return identity.touchCalibrations;
}
