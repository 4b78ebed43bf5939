// The tool's data commands with --json: each prints one valid JSON document
// whose members agree with each other and with the simulated device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "process.h"

namespace {

using nlohmann::json;

// Seconds since the epoch of a "YYYY-MM-DD HH:MM:SS" text read as UTC.
long long EpochSeconds(const std::string& text) {
  std::tm tm{};
  EXPECT_TRUE(strptime(text.c_str(), "%Y-%m-%d %H:%M:%S", &tm) != nullptr) << text;
  return static_cast<long long>(timegm(&tm));
}

void CheckInfo(const json& info) {
  const json& power = info.at("power");
  EXPECT_TRUE(power.at("batteryLevel").is_number_unsigned());
  EXPECT_LT(power.at("powerState").get<int>(), 4);
  EXPECT_TRUE(power.at("batteryReported").is_boolean());
  const json& display = info.at("display");
  ASSERT_TRUE(display.is_object());
  const auto width = display.at("width").get<unsigned>();
  const auto height = display.at("height").get<unsigned>();
  EXPECT_GT(width * height, 0u);
  EXPECT_EQ(display.at("orientation"), width > height ? "landscape" : width < height ? "portrait" : "square");
  EXPECT_LE(info.at("brightnessPercent").get<unsigned>(), 100u);
  EXPECT_LE(info.at("volumePercent").get<unsigned>(), 100u);
  EXPECT_TRUE(info.at("deviceId").is_string() || info.at("deviceId").is_null());
  EXPECT_EQ(info.at("deviceInfo").size(), 12u);
  EXPECT_TRUE(info.at("deviceInfo").contains("oem"));
  EXPECT_TRUE(info.at("bluetoothMac").is_string() || info.at("bluetoothMac").is_null());
  const json& memory = info.at("memory");
  EXPECT_GE(memory.at("storeBytes").get<unsigned>(), memory.at("storeFreeBytes").get<unsigned>());
  EXPECT_GE(memory.at("programBytes").get<unsigned>(), memory.at("programFreeBytes").get<unsigned>());
  EXPECT_GT(memory.at("pageSize").get<unsigned>(), 0u);
}

void CheckKeys(const json& keys) {
  const json& map = keys.at("keyMap");
  ASSERT_FALSE(map.empty());
  std::set<unsigned> grabbed;
  for (const json& hotKey : keys.at("hotKeys")) {
    EXPECT_TRUE(hotKey.at("keyUp").is_boolean());
    EXPECT_TRUE(hotKey.at("id").is_number_integer());
    grabbed.insert(hotKey.at("virtualKey").get<unsigned>());
  }
  bool enterFound = false;
  for (const json& entry : map) {
    const auto virtualKey = entry.at("virtualKey").get<unsigned>();
    const auto key = entry.at("hardwareKey").get<int>();
    // The device's Return key reaches the listeners as the application key Enter: both names, side by side.
    if (virtualKey == 0x0D) {
      enterFound = key == 4 && entry.at("deviceKey") == "Return" && entry.at("applicationKey") == "Enter";
    }
    EXPECT_TRUE(entry.at("applicationKey").is_string()) << entry;
    // The HAL grabs every key of its map as a hot key.
    EXPECT_EQ(grabbed.count(virtualKey), 1u) << entry;
  }
  EXPECT_TRUE(enterFound) << map;
}

void CheckTime(const json& time) {
  const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
  const auto utc = time.at("utc").get<std::string>();
  const auto local = time.at("local").get<std::string>();
  ASSERT_TRUE(std::regex_match(utc, stamp)) << utc;
  ASSERT_TRUE(std::regex_match(local, stamp)) << local;
  EXPECT_EQ(time.at("zone"), "America/New_York");
  EXPECT_TRUE(time.at("description").is_string());
  // The two readings are a moment apart; local time is UTC moved by the zone's offset.
  const long long shown = EpochSeconds(local) - EpochSeconds(utc);
  EXPECT_NEAR(static_cast<double>(shown), time.at("offsetNowSeconds").get<double>(), 2.0);
}

void CheckZones(const json& zones) {
  ASSERT_TRUE(zones.is_array());
  ASSERT_FALSE(zones.empty());
  std::set<std::string> names;
  for (const json& zone : zones) {
    const auto name = zone.at("name").get<std::string>();
    EXPECT_FALSE(name.empty()) << zone;
    EXPECT_TRUE(names.insert(name).second) << zone;
    EXPECT_FALSE(zone.at("display").get<std::string>().empty()) << zone;
    EXPECT_LE(std::abs(zone.at("offsetNowSeconds").get<long>()), 14 * 3600L) << zone;
  }
}

void CheckIncomingCall(const json& phone) {
  EXPECT_EQ(phone.at("callStatus"), 2);
  EXPECT_EQ(phone.at("callStatusName"), "incoming");
  EXPECT_EQ(phone.at("bluetoothPower"), 1);
  EXPECT_FALSE(phone.at("program").get<std::string>().empty());
  EXPECT_TRUE(phone.at("statusWindows").is_array());
  EXPECT_FALSE(phone.at("telephoneLog").empty());
}

void CheckBluetoothOff(const json& phone) {
  EXPECT_EQ(phone.at("bluetoothPower"), 0);
  EXPECT_EQ(phone.at("callStatus"), 0);
  EXPECT_EQ(phone.at("callStatusName"), "none");
}

struct JsonCase {
  const char* name;
  std::vector<std::string> args;
  std::function<void(const json&)> check;
  std::vector<std::string> environment;
};

// Test listings name a case by its name alone.
void PrintTo(const JsonCase& c, std::ostream* os) { *os << c.name; }

class JsonCommandTest : public testing::TestWithParam<JsonCase> {};

TEST_P(JsonCommandTest, PrintsOneValidDocument) {
  const JsonCase& c = GetParam();
  pndtest::ProcessRequest request;
  request.argv = {PNDHAL_TOOL};
  request.argv.insert(request.argv.end(), c.args.begin(), c.args.end());
  request.environment = c.environment;
  const pndtest::ProcessResult result = pndtest::RunProcess(request);
  ASSERT_EQ(result.exitCode, 0) << "stderr: " << result.err;
  EXPECT_EQ(result.err, "");
  const json document = json::parse(result.out, nullptr, false);
  ASSERT_FALSE(document.is_discarded()) << result.out;
  c.check(document);
}

// Time runs in a zone away from UTC, so local time and the offset are checked against something.
INSTANTIATE_TEST_SUITE_P(
    Tool, JsonCommandTest,
    testing::Values(JsonCase{"Info", {"info", "--json"}, CheckInfo, {}},
                    JsonCase{"Keys", {"keys", "--json"}, CheckKeys, {}},
                    JsonCase{"Time", {"time", "--json"}, CheckTime, {"TZ=America/New_York"}},
                    JsonCase{"Zones", {"zones", "--json"}, CheckZones, {}},
                    JsonCase{
                        "IncomingCall", {"phone", "--call", "incoming", "--json"}, CheckIncomingCall, {}},
                    JsonCase{"BluetoothOff", {"phone", "--power", "off", "--json"}, CheckBluetoothOff, {}}),
    [](const testing::TestParamInfo<JsonCase>& param) { return param.param.name; });

}  // namespace
