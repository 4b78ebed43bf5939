// Device profiles: the built-in profile is the reset device, a profile reaches the platform calls the
// HAL makes, the device state loads back to itself, and every fault is named precisely and changes
// nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "ce/display.h"
#include "ce/identity.h"
#include "ce/power.h"
#include "ce/time.h"
#include "ce/window.h"
#include "sim_guard.h"

namespace pndtest {
namespace {

using namespace std::chrono_literals;

// A file in the temporary folder, removed when the test ends.
class TempFile {
 public:
  // The process id keeps runs of the same test in different build trees apart.
  TempFile(const std::string& name, const std::string& content)
      : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".json")) {
    std::ofstream(path_) << content;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(ProfileTest, TheResetDeviceIsTheBuiltInProfile) {
  SimGuard guard;
  EXPECT_EQ(pndsim::DeviceState(), pndsim::DefaultProfile());

  pndsim::SetBattery(20, BATTERY_FLAG_LOW);
  ASSERT_EQ(pndsim::LoadProfileText(pndsim::DefaultProfile(), "default"), std::nullopt);
  EXPECT_EQ(pndsim::DeviceState(), pndsim::DefaultProfile());
  EXPECT_EQ(pndsim::GetPowerStatus().batteryPercent, 80);
  EXPECT_TRUE(pndsim::Trace().empty());

  const auto keys = pndsim::DeviceKeys();
  ASSERT_EQ(keys.size(), 15U);
  EXPECT_EQ(keys.front(), (std::pair<std::string, unsigned>{"Up", 0x26}));
  EXPECT_EQ(keys[8], (std::pair<std::string, unsigned>{"F9", 0x78}));
  EXPECT_EQ(keys.back(), (std::pair<std::string, unsigned>{"DeviceC6", 0xC6}));
}

TEST(ProfileTest, AProfileReachesThePlatformCallsAndLeavesTheRestBuiltIn) {
  SimGuard guard;
  const TempFile file("pndsim-profile", R"({
  "keys": [{"name": "Zoom", "code": 193}, {"name": "Return", "code": 13}],
  "power": {"battery": 35, "batteryFlag": 8, "ac": "online"},
  "screen": {"width": 800, "height": 480},
  "cards": ["SD-Karte"],
  "identity": {"deviceId": {"preset": "0A0B", "platform": ""}, "oemInfo": "Rally 7", "flash": "00FF"},
  "files": [{"path": "\\Windows\\tcontacts.exe"}],
  "programs": {"telephone": {"installed": false, "volumeStep": 9}},
  "clock": {"pinned": "2026-03-29T00:59:59.500Z"},
  "zone": "CET-1CEST,M3.5.0,M10.5.0/3"
})");
  ASSERT_EQ(pndsim::LoadProfile(file.Path()), std::nullopt);

  SYSTEM_POWER_STATUS_EX power{};
  ASSERT_TRUE(GetSystemPowerStatusEx(&power, TRUE));
  EXPECT_EQ(power.BatteryLifePercent, 35);
  EXPECT_EQ(power.BatteryFlag, BATTERY_FLAG_CHARGING);
  EXPECT_EQ(power.ACLineStatus, AC_LINE_ONLINE);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 480);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(pndsim::MountedCards(), std::vector<std::string>{"SD-Karte"});
  EXPECT_EQ(pndsim::DeviceIdRecord(), (std::vector<std::uint8_t>{22, 0, 0, 0, 20, 0, 0, 0, 2, 0,    0,
                                                                 0,  0, 0, 0, 0,  0, 0, 0, 0, 0x0A, 0x0B}));
  wchar_t oem[64] = {};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETOEMINFO, sizeof oem, oem, 0));
  EXPECT_EQ(std::wstring(oem), L"Rally 7");
  EXPECT_EQ(pndsim::FlashArea()[1], 0xFF);
  EXPECT_NE(GetFileAttributesW(L"\\Windows\\tcontacts.exe"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(L"\\Windows\\poutlook.exe"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(pndsim::ProgramInstalled(pndsim::kTelephoneProgramPath));
  EXPECT_EQ(pndsim::Telephone().volumeStep, 9U);

  // 00:59:59.5 UTC is the last half second of winter time in Berlin that year.
  SYSTEMTIME local{};
  GetLocalTime(&local);
  EXPECT_EQ(local.wHour, 1);
  EXPECT_EQ(local.wMinute, 59);
  TIME_ZONE_INFORMATION zone{};
  EXPECT_EQ(GetTimeZoneInformation(&zone), TIME_ZONE_ID_STANDARD);
  EXPECT_EQ(zone.Bias, -60);

  EXPECT_EQ(pndsim::DeviceKeys(),
            (std::vector<std::pair<std::string, unsigned>>{{"Zoom", 0xC1}, {"Return", 0x0D}}));
  // What the profile leaves out stays built in.
  EXPECT_EQ(pndsim::BacklightLevel(), 10U);
  EXPECT_EQ(pndsim::OemInfo(), "Rally 7");
  EXPECT_EQ(pndsim::ApplicationPath(), pndsim::kDefaultApplicationPath);
  EXPECT_EQ(pndsim::VolumeWord(), 0xCCCCCCCCU);
}

TEST(ProfileTest, TheDeviceStateLoadsBackToTheSameDevice) {
  SimGuard guard;
  pndsim::SetBattery(0xFF, 0xFF);
  pndsim::UnplugAc();
  pndsim::SetVolumeChannels(0x1234, 0xFEDC);
  pndsim::SetBacklightLevel(3);
  ASSERT_TRUE(pndsim::MountCard("CF-Karte"));
  ASSERT_TRUE(pndsim::MountCard("SD-Karte"));
  pndsim::SetDeviceIdRecord(std::vector<std::uint8_t>{1, 2, 3});
  const std::uint8_t info[] = {7, 0, 'N', 0, 'X', 0};
  pndsim::SetDeviceInfoRecord(info);
  const std::uint8_t version[] = {'9', '=', '1', 0};
  pndsim::SetVersionText(version);
  pndsim::SetOemInfo("Fähre ✓");
  pndsim::SetBtAddress({0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45});
  ASSERT_TRUE(pndsim::DeleteRegistryValue(pndsim::RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\TOUCH",
                                          "CalibrationData"));
  pndsim::SetMemory({100, 200, 1024, 5, 6});
  pndsim::SetFile("\\Storage Card\\Maps", true);
  ASSERT_TRUE(pndsim::SetApplicationPath("\\SD-Karte\\Nav\\Nav.exe"));
  pndsim::SetTelephoneWindowDelay(1500);
  pndsim::SetTelephoneBluetoothPower(0);
  pndsim::SetTelephoneLanguage(0x0407);
  ASSERT_TRUE(pndsim::SetClockOffset(-86'400'123ms));
  pndsim::ZoneInfo rules;
  rules.bias = 300;
  rules.standardName = "Eastern";
  rules.daylightName = "Eastern Daylight";
  rules.standardDate = {0, 11, 0, 1, 2, 0, 0, 0};
  rules.daylightDate = {0, 3, 0, 2, 2, 0, 0, 0};
  rules.daylightBias = -60;
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(rules));

  const std::string state = pndsim::DeviceState();
  ASSERT_NE(state, pndsim::DefaultProfile());
  pndsim::Reset();
  const auto error = pndsim::LoadProfileText(state, "state");
  ASSERT_EQ(error, std::nullopt) << error->Text();
  EXPECT_EQ(pndsim::DeviceState(), state);
  EXPECT_EQ(pndsim::ClockOffset(), -86'400'123ms);
  EXPECT_EQ(pndsim::CurrentTimeZone().daylightName, "Eastern Daylight");
  EXPECT_EQ(pndsim::GetPowerStatus().batteryPercent, 0xFF);

  pndsim::Reset();
  ASSERT_TRUE(pndsim::PinClock(pndsim::DeviceInstant(1'700'000'000'007ms)));
  ASSERT_TRUE(pndsim::SetTimeZoneByName("America/New_York"));
  const std::string pinned = pndsim::DeviceState();
  EXPECT_NE(pinned.find("\"pinned\": \"2023-11-14T22:13:20.007Z\""), std::string::npos);
  EXPECT_NE(pinned.find("\"zone\": \"America/New_York\""), std::string::npos);
  pndsim::Reset();
  ASSERT_EQ(pndsim::LoadProfileText(pinned, "pinned"), std::nullopt);
  EXPECT_EQ(pndsim::DeviceState(), pinned);
}

TEST(ProfileTest, AFaultIsNamedByPlaceAndFieldAndChangesNothing) {
  SimGuard guard;
  pndsim::SetBattery(33, BATTERY_FLAG_LOW);
  ASSERT_TRUE(pndsim::MountCard("SD-Karte"));
  const std::string before = pndsim::DeviceState();

  struct Case {
    std::string json;
    std::string text;
  };
  const Case cases[] = {
      {"{\n  \"power\": {\"battery\": 40,}\n}",
       "p.json:2:27: syntax error while parsing object key - unexpected '}'; expected string literal"},
      {"{\"power\": {\"battery\": 40},\n \"screen\": {\"width\": 800, \"colour\": 16}}",
       "p.json:2:27: /screen/colour: unknown field \"colour\"; expected one of: width, height"},
      {"{\"power\": {},\n \"colour\": 16}",
       "p.json:2:2: /colour: unknown field \"colour\"; expected one of: keys, power, backlight, volume, "
       "screen, "
       "identity, calibration, memory, files, cards, programs, clock, zone"},
      {"{\"cards\": [\"SD-Karte\", 7]}",
       "p.json:1:24: /cards/1: expected a folder name of 1 to 260 characters, got 7"},
      {"{\"power\": {\n    \"battery\": 140}}",
       "p.json:2:16: /power/battery: expected an integer from 0 to 100, or null for unknown, got 140"},
      {"{\"keys\": [{\"name\": \"Up\", \"code\": 38}, {\"name\": \"Up\", \"code\": 40}]}",
       "p.json:1:48: /keys/1/name: key name listed twice"},
      {"{\"zone\": \"Mars/Olympus\"}",
       "p.json:1:10: /zone: expected \"host\", a tz database name, a POSIX TZ rule or zone rules, got "
       "\"Mars/Olympus\""},
      {"{\"clock\": {\"pinned\": \"2026-02-30T00:00:00Z\"}}",
       "p.json:1:22: /clock/pinned: expected null or a UTC instant like \"2026-03-29T01:30:00Z\", got "
       "\"2026-02-30T00:00:00Z\""},
      {"{\"memory\": {\"pageSize\": 4096}, \"memory\": {}}", "p.json:1:32: /memory: member named twice"},
  };
  for (const Case& c : cases) {
    const auto error = pndsim::LoadProfileText(c.json, "p.json");
    ASSERT_TRUE(error.has_value()) << c.json;
    EXPECT_EQ(error->Text(), c.text);
    EXPECT_EQ(pndsim::DeviceState(), before) << c.json;
  }

  const TempFile wrongType("pndsim-profile-fault", "{\"identity\": {\"btAddress\": true}}");
  const auto typeError = pndsim::LoadProfile(wrongType.Path());
  ASSERT_TRUE(typeError.has_value());
  EXPECT_EQ(typeError->Text(), wrongType.Path() +
                                   ":1:28: /identity/btAddress: expected a Bluetooth address like "
                                   "\"00:1A:2B:3C:4D:5E\", got true");
  const std::string missing = wrongType.Path() + ".missing";
  const auto readError = pndsim::LoadProfile(missing);
  ASSERT_TRUE(readError.has_value());
  EXPECT_EQ(readError->line, 0);
  EXPECT_EQ(readError->Text(), missing + ": cannot read the file: No such file or directory");
  EXPECT_EQ(pndsim::DeviceState(), before);
  EXPECT_EQ(pndsim::GetPowerStatus().batteryPercent, 33);
}

TEST(ProfileTest, OnlyARegularFileOfAtMostOneMebibyteIsRead) {
  SimGuard guard;
  pndsim::SetBattery(33, BATTERY_FLAG_LOW);
  const std::string before = pndsim::DeviceState();
  // A valid profile padded with spaces to `size` bytes.
  const auto padded = [](std::size_t size) {
    std::string text = "{\"power\": {\"battery\": 7}}";
    return text + std::string(size - text.size(), ' ');
  };
  const TempFile largest("pndsim-profile-largest", padded(pndsim::kProfileSizeLimit));
  const TempFile larger("pndsim-profile-larger", padded(pndsim::kProfileSizeLimit + 1));
  const TempFile fifoFile("pndsim-profile-fifo", "");
  const std::string fifo = fifoFile.Path();
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = std::filesystem::temp_directory_path().string();

  struct Case {
    std::string path;
    std::string text;  // empty: the profile loads
  };
  const Case cases[] = {
      {larger.Path(), larger.Path() + ": larger than 1 MiB (1048576 bytes), the most a profile may hold"},
      {"/dev/zero", "/dev/zero: not a regular file"},
      {fifo, fifo + ": not a regular file"},
      {folder, folder + ": cannot read the file: Is a directory"},
      {largest.Path(), ""},
  };
  for (const Case& c : cases) {
    const auto error = pndsim::LoadProfile(c.path);
    if (c.text.empty()) {
      EXPECT_EQ(error, std::nullopt) << c.path;
      EXPECT_EQ(pndsim::GetPowerStatus().batteryPercent, 7);
    } else {
      ASSERT_TRUE(error.has_value()) << c.path;
      EXPECT_EQ(error->Text(), c.text);
      EXPECT_EQ(pndsim::DeviceState(), before) << c.path;
    }
  }
}

}  // namespace
}  // namespace pndtest
