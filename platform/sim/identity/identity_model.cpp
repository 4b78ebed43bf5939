// The simulated device's identity and system services: the identifier,
// information and version records answered through the kernel I/O control
// call, the OEM text, touch calibration, files, the shell's execute call and
// the division of memory.
#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
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
constexpr pndsim::MemoryDivision kMemory{8192, 8192, 4096, 8u << 20, 20u << 20};
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

std::wstring FolderKey(const std::wstring& path) {
  std::wstring key = path;
  for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
  return key;
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
  std::map<std::wstring, pndsim::FileEntry> files;  // by lower-case path
  std::vector<pndsim::ShellLaunch> launches;
  pndsim::MemoryDivision memory = kMemory;
  std::vector<std::uint32_t> divisionRequests;

  void Restore() {
    deviceId = DeviceIdRecord(kPresetId, kPlatformId);
    deviceInfo = DefaultDeviceInfo();
    versionText.assign(kVersionText, kVersionText + std::strlen(kVersionText) + 1);
    versionRecord = DefaultVersionRecord();
    oemInfo = Widen(kOemInfo);
    calibrationData.assign(std::begin(kCalibrationData), std::end(kCalibrationData));
    sentCalibration.clear();
    touchCalibrations = 0;
    files.clear();
    AddFile(L"\\Windows", true);
    AddFile(L"\\Windows\\poutlook.exe", false);
    launches.clear();
    memory = kMemory;
    divisionRequests.clear();
  }

  void AddFile(const std::wstring& path, bool folder) {
    files[FolderKey(path)] = pndsim::FileEntry{Narrow(path.c_str()), folder};
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

std::string Utf8(LPCWSTR text) { return text == nullptr ? std::string() : Narrow(text); }

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

DWORD GetFileAttributesW(LPCWSTR path) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  const auto found = path == nullptr ? identity.files.end() : identity.files.find(FolderKey(path));
  if (found == identity.files.end()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return found->second.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

namespace {

// The process a started program stands for: the shell's caller may keep its
// handle and closes it.
class LaunchedProcess final : public sim::Object {};

}  // namespace

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFO) || info->lpFile == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::wstring path = info->lpFile;
  if (path.find(L'\\') == std::wstring::npos) path = L"\\Windows\\" + path;
  IdentityModel& identity = Model();
  std::unique_lock lock(identity.mutex);
  const auto found = identity.files.find(FolderKey(path));
  const std::string detail = "file=" + Utf8(info->lpFile) + " parameters=" + Utf8(info->lpParameters);
  if (found == identity.files.end() || found->second.folder) {
    Record("shell.execute.failed", detail);
    lock.unlock();
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  identity.launches.push_back(pndsim::ShellLaunch{Utf8(info->lpFile), Utf8(info->lpParameters),
                                                  Utf8(info->lpVerb), info->fMask, info->nShow});
  Record("shell.execute", detail);
  lock.unlock();
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));  // above 32: success
  info->hProcess = nullptr;
  if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
    KernelLock kernel(KernelMutex());
    info->hProcess = InsertHandle(std::make_shared<LaunchedProcess>());
  }
  return TRUE;
}

BOOL GetSystemMemoryDivision(DWORD* storePages, DWORD* ramPages, DWORD* pageSize) {
  if (storePages == nullptr || ramPages == nullptr || pageSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  *storePages = identity.memory.storePages;
  *ramPages = identity.memory.ramPages;
  *pageSize = identity.memory.pageSize;
  return TRUE;
}

DWORD SetSystemMemoryDivision(DWORD storePages) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.divisionRequests.push_back(storePages);
  pndsim::MemoryDivision& memory = identity.memory;
  const std::uint64_t total = std::uint64_t{memory.storePages} + memory.ramPages;
  const std::uint64_t page = memory.pageSize;
  const bool fits = storePages <= total && std::uint64_t{storePages} * page >= memory.storeUsedBytes &&
                    (total - storePages) * page >= memory.ramUsedBytes;
  Record("memory.division", "store=" + std::to_string(storePages) + (fits ? "" : " refused"));
  if (!fits) return SYSMEM_FAILED;
  memory.storePages = storePages;
  memory.ramPages = static_cast<std::uint32_t>(total - storePages);
  return SYSMEM_CHANGED;
}

BOOL GetStoreInformation(STORE_INFORMATION* info) {
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  const pndsim::MemoryDivision& memory = identity.memory;
  info->dwStoreSize = memory.storePages * memory.pageSize;
  info->dwFreeSize = info->dwStoreSize - std::min(info->dwStoreSize, memory.storeUsedBytes);
  return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  if (status == nullptr) return;
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  const pndsim::MemoryDivision& memory = identity.memory;
  const DWORD total = memory.ramPages * memory.pageSize;
  const DWORD used = std::min(total, memory.ramUsedBytes);
  *status = MEMORYSTATUS{sizeof(MEMORYSTATUS),
                         total == 0 ? 0 : static_cast<DWORD>(std::uint64_t{used} * 100 / total),
                         total,
                         total - used,
                         0,
                         0,
                         32u << 20,
                         (32u << 20) - std::min(32u << 20, used)};
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

void pndsim::SetFile(const std::string& path, bool folder) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.AddFile(Widen(path), folder);
}

std::vector<pndsim::FileEntry> pndsim::Files() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  std::vector<FileEntry> entries;
  for (const auto& [key, entry] : identity.files) entries.push_back(entry);
  return entries;
}

bool pndsim::RemoveFile(const std::string& path) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.files.erase(FolderKey(Widen(path))) != 0;
}

std::vector<pndsim::ShellLaunch> pndsim::ShellLaunches() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.launches;
}

pndsim::MemoryDivision pndsim::Memory() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.memory;
}

void pndsim::SetMemory(const MemoryDivision& memory) {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  identity.memory = memory;
}

std::vector<std::uint32_t> pndsim::MemoryDivisionRequests() {
  IdentityModel& identity = Model();
  std::lock_guard lock(identity.mutex);
  return identity.divisionRequests;
}
