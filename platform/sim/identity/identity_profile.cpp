// The identity concern's members of the device profile: "identity" (the device's records and texts, the
// vendor library's Bluetooth address and flash area) and "calibration" (the touch calibration), read and
// written with their checks, set on the device through the control API and captured from it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ce/identity.h"
#include "pndsim/identity.h"
#include "pndsim/registry.h"
#include "pndsim/vendor.h"
#include "sim/identity/identity.h"
#include "sim/text_codec/text_codec.h"

namespace sim {
namespace {

using profile::Bytes;
using profile::Fault;
using profile::Json;

constexpr std::string_view kCalibrationKey = "HARDWARE\\DEVICEMAP\\TOUCH";
constexpr std::string_view kCalibrationValue = "CalibrationData";

std::array<std::uint8_t, 6> BtAddress(const Json& value, const std::string& at) {
  const std::string expected =
      "expected a Bluetooth address like \"00:1A:2B:3C:4D:5E\", got " + profile::Shown(value);
  if (!value.is_string()) throw Fault{at, false, expected};
  const auto& text = value.get_ref<const std::string&>();
  std::array<std::uint8_t, 6> address{};
  if (text.size() != 17) throw Fault{at, false, expected};
  for (std::size_t i = 0; i < address.size(); ++i) {
    const int high = profile::HexDigit(text[3 * i]);
    const int low = profile::HexDigit(text[3 * i + 1]);
    if (high < 0 || low < 0 || (i < 5 && text[3 * i + 2] != ':')) throw Fault{at, false, expected};
    address[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return address;
}

// A version text: characters up to U+00FF, one byte each on the device.
std::string VersionText(const Json& value, const std::string& at) {
  const std::string expected = "expected a text of characters U+0001 to U+00FF, got " + profile::Shown(value);
  if (!value.is_string()) throw Fault{at, false, expected};
  std::string bytes;
  for (const wchar_t c : Widen(value.get_ref<const std::string&>())) {
    if (c == 0 || c > 0xFF) throw Fault{at, false, expected};
    bytes += static_cast<char>(c);
  }
  return bytes;
}

std::string VersionTextJson(const std::string& bytes) {
  std::wstring wide;
  for (const char c : bytes) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return Narrow(wide);
}

void ReadIdentity(const Json& value, const std::string& at, IdentitySetting& identity) {
  profile::RequireMembers(
      value, at, {"deviceId", "deviceInfo", "versionText", "versionRecord", "oemInfo", "btAddress", "flash"},
      "identity");
  profile::IfPresent(value, at, "deviceId", [&](const Json& id, const std::string& where) {
    profile::RequireMembers(id, where, {"preset", "platform", "record"}, "a device identifier");
    profile::IfPresent(id, where, "preset", [&](const Json& m, const std::string& w) {
      identity.presetId = profile::HexBytes(m, w, 256);
    });
    profile::IfPresent(id, where, "platform", [&](const Json& m, const std::string& w) {
      identity.platformId = profile::HexBytes(m, w, 256);
    });
    profile::IfPresent(id, where, "record", [&](const Json& m, const std::string& w) {
      identity.deviceIdRecord =
          m.is_null() ? std::nullopt : std::optional<Bytes>(profile::HexBytes(m, w, 4096));
    });
  });
  profile::IfPresent(value, at, "deviceInfo", [&](const Json& m, const std::string& w) {
    identity.deviceInfo = profile::HexBytes(m, w, DEVICE_INFO_RECORD_SIZE);
    identity.deviceInfo.resize(DEVICE_INFO_RECORD_SIZE);
  });
  profile::IfPresent(value, at, "versionText",
                     [&](const Json& m, const std::string& w) { identity.versionText = VersionText(m, w); });
  profile::IfPresent(value, at, "versionRecord", [&](const Json& m, const std::string& w) {
    identity.versionRecord = profile::HexBytes(m, w, VERSION_RECORD_SIZE);
    identity.versionRecord.resize(VERSION_RECORD_SIZE);
  });
  profile::IfPresent(value, at, "oemInfo",
                     [&](const Json& m, const std::string& w) { identity.oemInfo = profile::Text(m, w); });
  profile::IfPresent(value, at, "btAddress",
                     [&](const Json& m, const std::string& w) { identity.btAddress = BtAddress(m, w); });
  profile::IfPresent(value, at, "flash", [&](const Json& m, const std::string& w) {
    identity.flash = profile::HexBytes(m, w, pndsim::kFlashSize);
    identity.flash.resize(pndsim::kFlashSize);
  });
}

Json WriteIdentity(const IdentitySetting& identity) {
  char address[18];
  const auto& a = identity.btAddress;
  std::snprintf(address, sizeof address, "%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  const Json record =
      identity.deviceIdRecord ? Json(profile::HexText(*identity.deviceIdRecord, false)) : Json(nullptr);
  return Json{{"deviceId",
               {{"preset", profile::HexText(identity.presetId, false)},
                {"platform", profile::HexText(identity.platformId, false)},
                {"record", record}}},
              {"deviceInfo", profile::HexText(identity.deviceInfo, true)},
              {"versionText", VersionTextJson(identity.versionText)},
              {"versionRecord", profile::HexText(identity.versionRecord, true)},
              {"oemInfo", identity.oemInfo},
              {"btAddress", address},
              {"flash", profile::HexText(identity.flash, true)}};
}

void ApplyIdentity(const IdentitySetting& identity) {
  if (identity.deviceIdRecord) {
    pndsim::SetDeviceIdRecord(*identity.deviceIdRecord);
  } else {
    pndsim::SetDeviceId(identity.presetId, identity.platformId);
  }
  pndsim::SetDeviceInfoRecord(identity.deviceInfo);
  Bytes versionText(identity.versionText.begin(), identity.versionText.end());
  versionText.push_back(0);
  pndsim::SetVersionText(versionText);
  pndsim::SetVersionRecord(identity.versionRecord);
  pndsim::SetOemInfo(identity.oemInfo);
  pndsim::SetBtAddress(identity.btAddress);
  if (std::any_of(identity.flash.begin(), identity.flash.end(), [](std::uint8_t b) { return b != 0; })) {
    pndsim::WriteFlashArea(0, identity.flash);
  }
}

// The preset and platform identifiers of a record the device built from them; nothing for another record.
bool SplitDeviceId(const Bytes& record, IdentitySetting& identity) {
  DEVICE_ID head{};
  if (record.size() < sizeof head) return false;
  std::memcpy(&head, record.data(), sizeof head);
  const auto slice = [&](DWORD offset, DWORD bytes) {
    if (offset == 0 || offset > record.size() || bytes > record.size() - offset) return Bytes();
    return Bytes(record.begin() + offset, record.begin() + offset + bytes);
  };
  Bytes preset = slice(head.dwPresetIDOffset, head.dwPresetIDBytes);
  Bytes platform = slice(head.dwPlatformIDOffset, head.dwPlatformIDBytes);
  if (DeviceIdRecord(preset, platform) != record) return false;
  identity.presetId = std::move(preset);
  identity.platformId = std::move(platform);
  return true;
}

IdentitySetting CaptureIdentity() {
  IdentitySetting identity;
  const Bytes idRecord = pndsim::DeviceIdRecord();
  if (!SplitDeviceId(idRecord, identity)) identity.deviceIdRecord = idRecord;
  identity.deviceInfo = pndsim::DeviceInfoRecord();
  const Bytes versionText = pndsim::VersionText();
  identity.versionText.assign(versionText.begin(), std::find(versionText.begin(), versionText.end(), 0));
  identity.versionRecord = pndsim::VersionRecord();
  identity.oemInfo = pndsim::OemInfo();
  identity.btAddress = pndsim::BtAddress();
  const auto flash = pndsim::FlashArea();
  identity.flash.assign(flash.begin(), flash.end());
  return identity;
}

void ReadCalibration(const Json& value, const std::string& at, CalibrationSetting& calibration) {
  profile::RequireMembers(value, at, {"registry", "data"}, "the calibration");
  profile::IfPresent(value, at, "registry", [&](const Json& m, const std::string& w) {
    calibration.registryText =
        m.is_null() ? std::nullopt : std::optional<std::string>(profile::Text(m, w, "a text or null"));
  });
  profile::IfPresent(value, at, "data", [&](const Json& m, const std::string& w) {
    calibration.data = profile::HexBytes(m, w, 0x40000);
  });
}

Json WriteCalibration(const CalibrationSetting& calibration) {
  return Json{{"registry", calibration.registryText ? Json(*calibration.registryText) : Json(nullptr)},
              {"data", profile::HexText(calibration.data, false)}};
}

std::optional<std::string> CalibrationRegistryText() {
  return pndsim::GetRegistryString(pndsim::RegistryRoot::LocalMachine, kCalibrationKey, kCalibrationValue);
}

void ApplyCalibration(const CalibrationSetting& calibration) {
  if (CalibrationRegistryText() != calibration.registryText) {
    if (calibration.registryText) {
      pndsim::SetRegistryString(pndsim::RegistryRoot::LocalMachine, kCalibrationKey, kCalibrationValue,
                                *calibration.registryText);
    } else {
      pndsim::DeleteRegistryValue(pndsim::RegistryRoot::LocalMachine, kCalibrationKey, kCalibrationValue);
    }
  }
  pndsim::SetCalibrationData(calibration.data);
}

CalibrationSetting CaptureCalibration() { return {CalibrationRegistryText(), pndsim::CalibrationData()}; }

}  // namespace

constinit const profile::Section<IdentitySetting> kIdentitySection{
    "identity", 60, ReadIdentity, WriteIdentity, ApplyIdentity, CaptureIdentity};
constinit const profile::Section<CalibrationSetting> kCalibrationSection{
    "calibration", 70, ReadCalibration, WriteCalibration, ApplyCalibration, CaptureCalibration};

namespace {
const profile::Registration kIdentityRegistration{kIdentitySection};
const profile::Registration kCalibrationRegistration{kCalibrationSection};
}  // namespace

}  // namespace sim
