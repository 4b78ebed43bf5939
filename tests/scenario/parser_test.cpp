// The scenario parser: each line either becomes a statement in canonical words, or is refused with the
// column at fault and what was expected there. Nothing of a script runs when one of its lines is refused.
#include <gtest/gtest.h>

#include <variant>

#include "scenario.h"
#include "sim_guard.h"

namespace {

// Parses `line`: its canonical text, or "COLUMN: message" when it is refused, or "" for no statement.
std::string Parsed(const std::string& line) {
  auto result = scenario::ParseLine(line, 7);
  if (const auto* error = std::get_if<scenario::ParseError>(&result)) {
    EXPECT_EQ(error->line, 7);
    return std::to_string(error->column) + ": " + error->message;
  }
  const auto& statement = std::get<std::optional<scenario::Statement>>(result);
  return statement ? statement->text : "";
}

TEST(ScenarioParser, WritesEveryVerbInCanonicalWords) {
  pndtest::SimGuard guard;  // key names come from the device profile
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"   # a comment", ""},
      {"press up  # the arrow", "press Up"},
      {"press 0x75 ctrl SHIFT", "press F6 ctrl shift"},
      {"release 117", "release F6"},
      {"record ON", "record on"},
      {"keymap set 0x26=Up F6=10 0xC9=unmapped", "keymap set Up=Up F6=F6 0xC9=Unmapped"},
      {"battery 15", "battery 15 low"},
      {"battery 3 ac online", "battery 3 critical ac online"},
      {"battery 80 charging ac 1", "battery 80 charging ac online"},
      {"plug", "plug"},
      {"mute yes", "mute on"},
      {"mixer 0x8000", "mixer 32768 32768"},
      {"brightness 40", "brightness 40 fade 0"},
      {"display off", "display off"},
      {"card mount \"SD Karte\"", "card mount \"SD Karte\""},
      {"phone call 1", "phone call incoming"},
      {"phone bluetooth off", "phone bluetooth off"},
      {"phone foreground 2", "phone foreground telephone"},
      {"clock pin 2026-03-29T00:59Z", "clock pin 2026-03-29T00:59:00Z"},
      {"zone Europe/Berlin", "zone Europe/Berlin"},
      {"wait poll", "wait poll"},
      {"wait 1.5s", "wait 1500ms"},
      {"fail regopenkeyexw", "fail RegOpenKeyExW 1"},
      {"profile load \"my device.json\"", "profile load \"my device.json\""},
      {"expect key 10", "expect key F6"},
      {"expect record 0x75", "expect record 0x75"},
      {"expect power 15 2", "expect power 15 charging"},
      {"expect power * battery", "expect power * battery"},
      {"expect volume 50", "expect volume 50"},
      {"expect card removed \"SD Karte\" 1", "expect card removed \"SD Karte\" cf"},
      {"expect suspend on", "expect suspend true"},
      {"expect call 4", "expect call active"},
      {"expect foreground -1", "expect foreground unknown"},
      {"expect trace hotkey.register 0x75", "expect trace hotkey.register 0x75"},
      {"expect none within 2s", "expect none within 2000ms"},
      {"expect GetDeviceInfo 4 = \"OEM text\"", "expect GetDeviceInfo 4 = \"OEM text\""},
  };
  for (const auto& [line, canonical] : cases) EXPECT_EQ(Parsed(line), canonical) << line;
}

TEST(ScenarioParser, RefusesALineWithTheColumnAndWhatWasExpected) {
  pndtest::SimGuard guard;
  const std::pair<const char*, const char*> cases[] = {
      {"jump 3",
       "1: expected a verb (press, release, record, keymap, battery, plug, unplug, suspend, resume, "
       "volume, mute, mixer, brightness, display, card, file, folder, program, phone, clock, zone, wait, "
       "fail, profile, reset, time-scale, "
       "expect), got 'jump'"},
      {"battery 140", "9: expected a battery percentage (0 to 100), got '140'"},
      {"battery", "8: expected a battery percentage (0 to 100), got the end of the line"},
      {"battery 5 low extra", "15: expected ac, got 'extra'"},
      {"plug now", "6: expected the end of the line, got 'now'"},
      {"record maybe", "8: expected on or off, got 'maybe'"},
      {"card mount \"SD", "12: expected a closing '\"' for this quote"},
      {"wait 5 s", "6: expected a duration (250ms, 1.5s, 2min), got '5'"},
      {"keymap set F6",
       "12: expected a mapping CODE=KEY: a device key or virtual-key code, '=', and an "
       "application key (Up, Down, Right, Left, Enter, Device5, Device6, Device7, Device8, F6, "
       "F7, F8, Device16, Device24, Device25, Device26, Device27, Unmapped) or its number, got 'F6'"},
      {"expect call ringing",
       "13: expected a call status (unknown, none, idle, incoming, outgoing, active, held) "
       "or a number, got 'ringing'"},
      {"expect GetVolume 50", "18: expected =, got '50'"},
      {"expect none for 1s", "13: expected within, got 'for'"},
      {"clock set 2026-02-30T00:00:00Z",
       "11: expected a UTC time such as 2026-03-29T00:59:00Z, got "
       "'2026-02-30T00:00:00Z'"},
      {"fail Sleep",
       "6: expected a platform call (CreateThread, CreateEventW, CreateWindowExW, RegisterClassW, "
       "RegisterHotKey, SetTimeZoneInformation, SetSystemTime, SetLocalTime, RegOpenKeyExW, "
       "RegQueryValueExW, RegEnumKeyExW, CreateMsgQueue, KernelIoControl, waveOutSetVolume, "
       "waveOutGetVolume, LoadLibraryW, GetProcAddressW, FreeLibrary, CreateProcessW), got 'Sleep'"},
  };
  for (const auto& [line, error] : cases) EXPECT_EQ(Parsed(line), error) << line;
}

TEST(ScenarioParser, SuggestsTheWordMeantForANearMiss) {
  pndtest::SimGuard guard;
  const std::pair<const char*, const char*> cases[] = {
      {"presss F6", "did you mean 'press'?"},
      {"expect GetVolme = 5", "did you mean 'GetVolume'?"},
      {"fail CreateThred", "did you mean 'CreateThread'?"},
      {"press Retrun", "did you mean 'Return'?"},
      {"expect call incomming", "did you mean 'incoming'?"},
      {"expect powr 5", "did you mean 'power'?"},
      {"record onn", "did you mean 'on'?"},
      {"expect key Devise5", "did you mean 'Device5'?"},
      {"expect card mounted X sdd", "did you mean 'sd'?"},
      {"press Enter", "'Enter' is an application key, what a key listener hears"},
      {"expect key Return", "'Return' is a device key; a key listener hears the application key it maps to"},
  };
  for (const auto& [line, advice] : cases) {
    const std::string refused = Parsed(line);
    EXPECT_NE(refused.find(std::string("; ") + advice), std::string::npos) << line << "\n" << refused;
  }
  // A word far from every choice gets no guess.
  EXPECT_EQ(Parsed("jump 3").find("did you mean"), std::string::npos);
}

TEST(ScenarioParser, ResolvesARelativeProfileAgainstTheScriptsFolder) {
  pndtest::SimGuard guard;
  const auto parsed = scenario::ParseScript(
      "profile load car.json\nprofile load ../shared/van.json\nprofile load /etc/truck.json\n", "s.scn",
      "/work/scenarios");
  ASSERT_TRUE(std::holds_alternative<scenario::Script>(parsed));
  const auto& statements = std::get<scenario::Script>(parsed).statements;
  ASSERT_EQ(statements.size(), 3U);
  EXPECT_EQ(statements[0].text, "profile load /work/scenarios/car.json");
  EXPECT_EQ(statements[1].text, "profile load /work/shared/van.json");
  EXPECT_EQ(statements[2].text, "profile load /etc/truck.json");
}

TEST(ScenarioParser, AScriptWithBadLinesYieldsEachOfThem) {
  pndtest::SimGuard guard;
  const auto good = scenario::ParseScript("# header\npress F6\n\nexpect key F6\n", "good.scn");
  ASSERT_TRUE(std::holds_alternative<scenario::Script>(good));
  const auto& script = std::get<scenario::Script>(good);
  ASSERT_EQ(script.statements.size(), 2U);
  EXPECT_EQ(script.statements[1].line, 4);
  EXPECT_TRUE(script.statements[0].recorded);
  EXPECT_FALSE(script.statements[1].recorded);

  const auto bad =
      scenario::ParseScript("press F6\nexpect key F6\nvolume 101\nplug\nbattery  x\n", "bad.scn");
  ASSERT_TRUE(std::holds_alternative<std::vector<scenario::ParseError>>(bad));
  const auto& errors = std::get<std::vector<scenario::ParseError>>(bad);
  ASSERT_EQ(errors.size(), 2U);
  EXPECT_EQ(errors[0].line, 3);
  EXPECT_EQ(errors[0].column, 8);
  EXPECT_EQ(errors[0].text, "volume 101");
  EXPECT_EQ(errors[1].line, 5);
  EXPECT_EQ(errors[1].column, 10);
  EXPECT_EQ(errors[1].text, "battery  x");
}

}  // namespace
