// The simulated device's identity: the identifier, information and version records answered through the
// kernel I/O control call, the OEM text and the touch calibration.
#include <algorithm>
#include <cstring>
#include <mutex>

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

constexpr std::uint8_t kPresetId[] = {0x12, 0x34, 0x56, 0x78};
constexpr std::uint8_t kPlatformId[] = {0x9A, 0xBC, 0xDE, 0xF0};
constexpr const char* kOemInfo = "PND Navigator 5000";
constexpr const char* kVersionText = "4=20=1871";
constexpr std::uint8_t kCalibrationData[] = {0x55, 0xAA, 0x55, 0xAA, '5', '1', '2'};

void Put16(Bytes& record, std::size_t offset, std::uint16_t value) {
  record[offset] = static_cast<std::uint8_t>(value);
  record[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(Bytes& record, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    record[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

void PutUtf16(Bytes& record, std::size_t offset, const char* text) {
  for (std::size_t i = 0; text[i] != '\0'; ++i) {
    Put16(record, offset + 2 * i, static_cast<std::uint8_t>(text[i]));
  }
}

// A device of the second hardware revision that reports revision 1.
Bytes DefaultDeviceInfo() {
  Bytes record(DEVICE_INFO_RECORD_SIZE, 0);
  Put16(record, 0, 1);
  PutUtf16(record, 2, "Navigator 5000");
  Put16(record, 82, 3);
  const char serial[] = "NV5-0042-EU";
  std::memcpy(record.data() + 84, serial, sizeof serial - 1);
  Put16(record, 164, 7);
  PutUtf16(record, 166, "Navigation device");
  const std::uint8_t calibrationId[] = {0x01, 0x02, 0x03, 0xA0, 0xFF};
  std::memcpy(record.data() + 366, calibrationId, sizeof calibrationId);
  Put32(record, 568, 123456);
  Put32(record, 572, 4000000000u);
  Put16(record, 576, 1);
  return record;
}

// Version 5.1234 in the units the record's readers use.
Bytes DefaultVersionRecord() {
  Bytes record(VERSION_RECORD_SIZE, 0);
  Put16(record, 96, '5');
  Put16(record, 100, '1');
  Put16(record, 102, '2');
  Put16(record, 108, '3');
  Put16(record, 110, '4');
  return record;
}

struct IdentityModel {
  std::mutex mutex;
  Bytes deviceId;
  Bytes deviceInfo;
  Bytes versionText;
  Bytes versionRecord;
  std::wstring oemInfo;
  Bytes calibrationData;
  Bytes sentCalibration;
  int touchCalibrations = 0;

  void Restore() {
    deviceId = DeviceIdRecord(kPresetId, kPlatformId);
    deviceInfo = DefaultDeviceInfo();
    versionText.assign(kVersionText, kVersionText + std::strlen(kVersionText) + 1);
    versionRecord = DefaultVersionRecord();
    oemInfo = Widen(kOemInfo);
    calibrationData.assign(std::begin(kCalibrationData), std::end(kCalibrationData));
    sentCalibration.clear();
    touchCalibrations = 0;
  }
};

IdentityModel& Model() {
  static auto* model = [] {
    auto* created = new IdentityModel;
    created->Restore();
    OnReset([] {
      IdentityModel& identity = Model();
      std::lock_guard lock(identity.mutex);
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
  std::lock_guard lock(identity.mutex);
  Record("identity.deviceid", "size=" + std::to_string(request.outputSize));
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
  std::lock_guard lock(identity.mutex);
  Record("identity.deviceinfo", "size=" + std::to_string(request.outputSize));
  return Answer(request, identity.deviceInfo);
}

BOOL VersionRecordIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  Record("identity.version", "size=" + std::to_string(request.outputSize));
  return Answer(request, identity.versionRecord);
}

// The version text is cut to the caller's size; a cut text is reported as
// a failure with the bytes that fit written.
BOOL VersionTextIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  Record("identity.versiontext", "size=" + std::to_string(request.outputSize));
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
  std::lock_guard lock(identity.mutex);
  Record("identity.calibration.get", "size=" + std::to_string(request.outputSize));
  return Answer(request, identity.calibrationData);
}

BOOL SetCalibrationIoControl(const IoControlRequest& request) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  Record("identity.calibration.set", "size=" + std::to_string(request.inputSize));
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
  std::lock_guard lock(identity.mutex);
  Record("identity.oeminfo", "size=" + std::to_string(uiParam));
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
  std::lock_guard lock(identity.mutex);
  ++identity.touchCalibrations;
  Record("identity.touchcalibrate", std::to_string(identity.touchCalibrations));
  return TRUE;
}

void pndsim::SetDeviceId(std::span<const std::uint8_t> preset, std::span<const std::uint8_t> platform) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.deviceId = sim::DeviceIdRecord(preset, platform);
}

void pndsim::SetDeviceIdRecord(std::span<const std::uint8_t> record) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.deviceId.assign(record.begin(), record.end());
}

std::vector<std::uint8_t> pndsim::DeviceIdRecord() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.deviceId;
}

void pndsim::SetDeviceInfoRecord(std::span<const std::uint8_t> record) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  Resize(identity.deviceInfo, record, DEVICE_INFO_RECORD_SIZE);
}

std::vector<std::uint8_t> pndsim::DeviceInfoRecord() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.deviceInfo;
}

void pndsim::SetVersionText(std::span<const std::uint8_t> bytes) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.versionText.assign(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> pndsim::VersionText() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.versionText;
}

std::vector<std::uint8_t> pndsim::VersionRecord() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.versionRecord;
}

void pndsim::SetVersionRecord(std::span<const std::uint8_t> record) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  Resize(identity.versionRecord, record, VERSION_RECORD_SIZE);
}

std::string pndsim::OemInfo() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return Narrow(identity.oemInfo.c_str());
}

void pndsim::SetOemInfo(const std::string& text) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.oemInfo = Widen(text);
}

std::vector<std::uint8_t> pndsim::CalibrationData() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.calibrationData;
}

void pndsim::SetCalibrationData(std::span<const std::uint8_t> bytes) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.calibrationData.assign(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> pndsim::SentCalibration() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.sentCalibration;
}

int pndsim::TouchCalibrationCount() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.touchCalibrations;
}
