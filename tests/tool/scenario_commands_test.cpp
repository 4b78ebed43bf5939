// `pndhal run`, `tour` and `profile` as a person meets them: a script that holds exits 0, an unmet
// expectation exits 1 naming the line, a malformed line or a bad profile exits 2 naming the column and
// runs nothing; a recording replays, and fails at the line where the library's behaviour differs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tool_fixture.h"

namespace {

using ScenarioCommandsTest = pndtest::ToolTest;

TEST_F(ScenarioCommandsTest, ExitsWithTheVerdictAndSaysWhereAScriptWentWrong) {
  const std::string good = Write("good.scn", "press F6\nexpect key F6\n");
  const std::string unmet = Write("unmet.scn", "# a comment\npress F6\nexpect key Up\npress F7\n");
  const std::string malformed = Write("malformed.scn", "press F6\nbattery 140\n");
  const std::string profile = Write("bad.json", "{\n  \"power\": {\"battery\": 140}\n}\n");
  const std::string unknown = Write("unknown.json", "{\"screen\": {\"depth\": 16}}");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"run", "-q", good}, 0, "", ""},
      {{"run", "--quiet", good, unmet}, 1, "", unmet + ":3: expected key Up, got key F6\n"},
      {{"run", "--trace", malformed},
       2,
       "",
       malformed +
           ":2:9: expected a battery percentage (0 to 100), got '140'\n    battery 140\n            ^\n"},
      {{"run", "--profile", profile, good},
       2,
       "",
       profile + ":2:24: /power/battery: expected an integer from 0 to 100, or null for unknown, got 140\n"},
      {{"run", "--profile", unknown, good},
       2,
       "",
       unknown + ":1:13: /screen/depth: unknown field \"depth\"; expected one of: width, height\n"},
      {{"run", Path("missing.scn"), Path("")},
       2,
       "",
       "pndhal: cannot read " + Path("missing.scn") + ": No such file or directory\npndhal: cannot read " +
           Path("") + ": it is a folder\n"},
      {{"run", "--record", Path("out.scn"), good, good},
       2,
       "",
       "pndhal: run: --record takes exactly one FILE\n"},
  };
  for (const Case& c : cases) {
    const auto result = Tool(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back() << "\n" << result.err;
    EXPECT_EQ(result.out, c.out) << c.args.back();
    EXPECT_EQ(result.err, c.err) << c.args.back();
  }
}

TEST_F(ScenarioCommandsTest, ReportsARunAsJsonLines) {
  const auto result =
      Tool({"run", "--json", Write("keys.scn", "press F6\nexpect key F6\npress Up\nexpect key Down\n")});
  EXPECT_EQ(result.exitCode, 1);
  const std::vector<nlohmann::json> lines = JsonLines(result.out);
  ASSERT_GE(lines.size(), 4U);
  const auto count = [&](const char* type, const char* member, const char* value) {
    return std::count_if(lines.begin(), lines.end(), [&](const nlohmann::json& line) {
      return line["type"] == type && line.value(member, "") == value;
    });
  };
  EXPECT_EQ(count("statement", "text", "press F6"), 1);
  EXPECT_EQ(count("listener", "call", "key F6"), 1);
  EXPECT_EQ(count("failure", "message", "expected key Down, got key Up"), 1);
  auto summary = lines.back();
  EXPECT_GT(summary.value("seconds", 0.0), 0.0);
  summary.erase("seconds");
  EXPECT_EQ(summary, (nlohmann::json{
                         {"type", "result"}, {"scripts", 1}, {"passed", 0}, {"failed", 1}, {"errors", 0}}));
}

// Every event carries its values by name; the detail and the call are made from them.
TEST_F(ScenarioCommandsTest, GivesEachEventsFieldsByName) {
  const auto result =
      Tool({"run", "--json",
            Write("fields.scn",
                  "battery 5\nexpect power 5 battery\npress F6\nexpect key F6\ncard mount SD-Karte\n"
                  "expect card mounted SD-Karte sd\nvolume 40\nexpect volume 40 unmuted\n")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::vector<nlohmann::json> lines = JsonLines(result.out);
  const auto find = [&](const char* type, const char* kind, const nlohmann::json& fields) {
    return std::any_of(lines.begin(), lines.end(), [&](const nlohmann::json& line) {
      return line["type"] == type && line["kind"] == kind && line["fields"] == fields;
    });
  };
  const struct {
    const char* type;
    const char* kind;
    nlohmann::json fields;
  } cases[] = {
      {"platform", "power.status", {{"ac", 0}, {"flag", 4}, {"battery", 5}}},
      {"platform", "hotkey.register", {{"window", 0x10002}, {"id", 0x75}, {"vk", 0x75}, {"modifiers", 0}}},
      {"platform", "card.mount", {{"folder", "SD-Karte"}, {"queues", 1}}},
      {"listener", "power", {{"level", 5}, {"state", "battery"}}},
      {"listener", "key", {{"key", "F6"}}},
      {"listener", "card", {{"change", "mounted"}, {"folder", "SD-Karte"}, {"type", "sd"}}},
      {"listener", "volume", {{"volume", 40}, {"muted", 0}}},
  };
  for (const auto& c : cases) EXPECT_TRUE(find(c.type, c.kind, c.fields)) << c.kind << " " << c.fields;
  // The detail is the fields in their text form; a platform effect says the device's tick count.
  for (const nlohmann::json& line : lines) {
    if (line["type"] == "platform" && line["kind"] == "power.status") {
      EXPECT_EQ(line["detail"], "ac=0 flag=0x04 battery=5");
    }
    if (line["type"] == "platform") {
      EXPECT_TRUE(line["tick"].is_number()) << line;
    }
  }
  EXPECT_EQ(
      std::count_if(lines.begin(), lines.end(),
                    [](const nlohmann::json& line) { return line["type"] == "expectation" && line["met"]; }),
      4);
}

TEST_F(ScenarioCommandsTest, SaysHowManyEventsTheDevicesTraceDropped) {
  // Two platform effects a line, more than the trace keeps.
  std::string text;
  for (int i = 0; i < 6000; ++i) text += "battery " + std::to_string(i % 100) + "\n";
  const std::string busy = Write("busy.scn", text);

  const auto traced = Tool({"run", "--trace", "--quiet", busy});
  ASSERT_EQ(traced.exitCode, 0) << traced.err;
  unsigned long long dropped = 0;
  std::size_t kept = 0;
  const std::string last = traced.out.substr(traced.out.rfind('\n', traced.out.size() - 2) + 1);
  ASSERT_EQ(
      std::sscanf(last.c_str(), "    trace: %llu events dropped (the device's trace keeps the last %zu)",
                  &dropped, &kept),
      2)
      << last;
  EXPECT_GT(dropped, 0U);
  EXPECT_EQ(kept, 10000U);

  const auto json = Tool({"run", "--json", busy});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  std::istringstream lines(json.out);
  int reports = 0;
  for (std::string line; std::getline(lines, line);) {
    const auto parsed = nlohmann::json::parse(line, nullptr, false);
    if (parsed.value("type", "") != "dropped") continue;
    ++reports;
    EXPECT_EQ(parsed["record"], "trace");
    EXPECT_GT(parsed.value("count", 0), 0);
    EXPECT_EQ(parsed["capacity"], 10000);
  }
  EXPECT_EQ(reports, 1);

  // The tour stays well within the trace.
  const auto tour = Tool({"tour", "--json"});
  ASSERT_EQ(tour.exitCode, 0) << tour.err;
  const auto summary = nlohmann::json::parse(tour.out.substr(tour.out.rfind('\n', tour.out.size() - 2) + 1));
  EXPECT_EQ(summary["type"], "summary");
  EXPECT_EQ(summary["traceDropped"], 0);
}

TEST_F(ScenarioCommandsTest, ARecordedRunReplaysAndFailsWhereTheLibraryDiffers) {
  const std::string recording = Path("tour-recording.scn");
  ASSERT_EQ(Tool({"tour", "--record", recording}).exitCode, 0);
  const std::string recorded = Read(recording);
  EXPECT_EQ(recorded.rfind("# Recorded by pndhal", 0), 0U);
  EXPECT_NE(recorded.find("\nexpect call incoming\n"), std::string::npos);
  EXPECT_EQ(Tool({"run", recording}).exitCode, 0);

  // The same session on a device whose key map sends Up elsewhere stops at the first Up it expects.
  const std::string changed = Write("changed.scn", "keymap set Up=Down\n" + recorded);
  std::size_t line = 2;  // the key map line comes first
  std::istringstream lines(recorded);
  for (std::string text; std::getline(lines, text) && text != "expect key Up"; ++line) {
  }
  const auto replay = Tool({"run", changed});
  EXPECT_EQ(replay.exitCode, 1);
  EXPECT_EQ(replay.err, changed + ":" + std::to_string(line) + ": expected key Up, got key Down\n");
}

// The last action's listener calls are still on their way when the script ends; the recording waits for
// them, in every run alike.
TEST_F(ScenarioCommandsTest, ARecordingHoldsEveryCallTheRunCaused) {
  const std::string script = Write("last.scn", "press F6\ncard mount SD-Karte\n");
  const std::string recording = Path("last-recording.scn");
  for (int run = 0; run < 5; ++run) {
    ASSERT_EQ(Tool({"run", "--quiet", "--record", recording, script}).exitCode, 0);
    const std::string recorded = Read(recording);
    EXPECT_EQ(recorded.substr(recorded.find('\n') + 1),
              "press F6\nexpect key F6\ncard mount SD-Karte\nexpect card mounted SD-Karte sd\n")
        << "run " << run;
  }
}

TEST_F(ScenarioCommandsTest, ProfilesStartFromTheBuiltInOne) {
  const auto builtIn = Tool({"profile"});
  ASSERT_EQ(builtIn.exitCode, 0);
  const auto defaults = nlohmann::json::parse(builtIn.out, nullptr, false);
  ASSERT_TRUE(defaults.is_object()) << builtIn.out;

  const std::string low = Write("low.json", "{\"power\": {\"battery\": 7, \"batteryFlag\": 4}}");
  const auto filled = Tool({"profile", low});
  ASSERT_EQ(filled.exitCode, 0) << filled.err;
  auto expected = defaults;
  expected["power"]["battery"] = 7;
  expected["power"]["batteryFlag"] = 4;
  EXPECT_EQ(nlohmann::json::parse(filled.out, nullptr, false), expected);

  // Every command starts from the profile it is given.
  const auto info = Tool({"info", "--json", "--profile", low});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_EQ(nlohmann::json::parse(info.out)["power"]["batteryLevel"], 7);
  EXPECT_EQ(Tool({"run", "--profile", low, Write("low.scn", "expect PMGetPowerInfo = 7 battery\n")}).exitCode,
            0);

  // A script loads a profile mid-run: the device changes under the running library, which reports it.
  const std::string loads =
      Write("loads.scn", "battery 50 high\nexpect power 50 battery\nprofile load \"" + low +
                             "\"\nexpect PMGetPowerInfo = 7 battery\nexpect power 7 battery\n");
  EXPECT_EQ(Tool({"run", loads}).exitCode, 0);

  // A relative profile in a script is the one beside the script, wherever the tool runs.
  Write("scripts/low.json", "{\"power\": {\"battery\": 9, \"batteryFlag\": 4}}");
  const auto beside = Tool(
      {"run", Write("scripts/beside.scn", "profile load low.json\nexpect PMGetPowerInfo = 9 battery\n")});
  EXPECT_EQ(beside.exitCode, 0) << beside.err;
}

}  // namespace
