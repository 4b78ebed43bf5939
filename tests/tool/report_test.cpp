// What a `pndhal run` reports: a line per script and a summary (none with --quiet), a JSON object per
// script and for each fault that stops a run before it starts, every line at fault of a script with a
// caret under its column, and the same report whether one process plays the scripts or several.
#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tool_fixture.h"

namespace {

using RunReportTest = pndtest::ToolTest;
using nlohmann::json;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The report's lines without their times, sorted: what two runs of the same scripts must share.
std::vector<std::string> Timeless(const std::string& text) {
  std::vector<std::string> lines;
  for (const std::string& line : Lines(text)) {
    lines.push_back(std::regex_replace(line, std::regex("  [0-9.]+ s$"), ""));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST_F(RunReportTest, SaysPassOrFailForEachScriptAndSumsUp) {
  const std::string good = Write("good.scn", "press F6\nexpect key F6\nvolume 40\nexpect volume 40\n");
  const std::string unmet = Write("unmet.scn", "# a comment\npress F6\nexpect key Up\n");
  const auto result = Tool({"run", good, unmet});
  EXPECT_EQ(result.exitCode, 1);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 3U) << result.out;
  EXPECT_TRUE(
      std::regex_match(lines[0], std::regex("PASS " + good + "  2 expectations  [0-9]+\\.[0-9]{2} s")))
      << lines[0];
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex("FAIL " + unmet + "  line 3: expected key Up, got key F6  [0-9]+\\.[0-9]{2} s")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], std::regex("2 scripts: 1 passed, 1 failed  [0-9]+\\.[0-9]{2} s")))
      << lines[2];
  EXPECT_EQ(result.err, unmet + ":3: expected key Up, got key F6\n");

  const auto quiet = Tool({"run", "--quiet", good, unmet});
  EXPECT_EQ(quiet.exitCode, 1);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, result.err);
}

TEST_F(RunReportTest, GivesAJsonObjectForEachScript) {
  const std::string good = Write("good.scn", "press F6\nexpect key F6\n");
  const std::string unmet = Write("unmet.scn", "press F6\nexpect key Up\n");
  const auto result = Tool({"run", "--json", good, unmet});
  EXPECT_EQ(result.exitCode, 1);
  std::vector<json> scripts;
  for (const json& line : JsonLines(result.out)) {
    if (line.value("type", "") == "script") scripts.push_back(line);
  }
  ASSERT_EQ(scripts.size(), 2U);
  for (json& script : scripts) {
    EXPECT_GE(script.value("seconds", -1.0), 0.0);
    script.erase("seconds");
  }
  EXPECT_EQ(scripts[0], (json{{"type", "script"},
                              {"script", good},
                              {"verdict", "pass"},
                              {"statements", 2},
                              {"expectations", 1}}));
  EXPECT_EQ(scripts[1], (json{{"type", "script"},
                              {"script", unmet},
                              {"verdict", "fail"},
                              {"statements", 2},
                              {"expectations", 0},
                              {"at", unmet + ":2"},
                              {"message", "expected key Up, got key F6"},
                              {"kind", "expectation"}}));
}

TEST_F(RunReportTest, GivesAJsonObjectForAFaultThatStopsTheRunBeforeItStarts) {
  const std::string good = Write("good.scn", "press F6\n");
  const std::string profile = Write("bad.json", "{\n  \"power\": {\"battery\": 140}\n}\n");
  struct Case {
    std::vector<std::string> args;
    json expected;
  };
  const Case cases[] = {
      {{"run", "--json", "--profile", profile, good},
       {{"type", "profile"},
        {"at", profile + ":2:24"},
        {"message", "/power/battery: expected an integer from 0 to 100, or null for unknown, got 140"},
        {"line", 2},
        {"column", 24},
        {"field", "/power/battery"}}},
      {{"run", "--json", Path("gone.scn")},
       {{"type", "file"},
        {"at", Path("gone.scn")},
        {"message", "cannot read " + Path("gone.scn") + ": No such file or directory"}}},
      {{"run", "--json", Write("bad.scn", "press F6\nbattery 140\n")},
       {{"type", "syntax"},
        {"at", Path("bad.scn") + ":2:9"},
        {"message", "expected a battery percentage (0 to 100), got '140'"},
        {"line", 2},
        {"column", 9},
        {"text", "battery 140"}}},
      {{"run", "--json", "--record", Path("out.scn"), good, good},
       {{"type", "usage"}, {"at", "pndhal"}, {"message", "run: --record takes exactly one FILE"}}},
  };
  for (const Case& c : cases) {
    const auto result = Tool(c.args);
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_EQ(JsonLines(result.out), std::vector<json>{c.expected}) << result.out;
  }
}

TEST_F(RunReportTest, ReportsEveryLineAtFaultWithACaretUnderItsColumn) {
  const std::string bad = Write("bad.scn", "presss F6\nplug\n\tbattery 140\nexpect key Return\n");
  const auto result = Tool({"run", bad, Write("worse.scn", "wait 5 s\n")});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(
      result.err,
      bad +
          ":1:1: expected a verb (press, release, record, keymap, battery, plug, unplug, suspend, resume, "
          "volume, mute, mixer, brightness, display, card, file, folder, program, phone, clock, zone, wait, "
          "fail, profile, reset, time-scale, "
          "expect), got 'presss'; did you mean 'press'?\n"
          "    presss F6\n"
          "    ^\n" +
          bad +
          ":3:10: expected a battery percentage (0 to 100), got '140'\n"
          "    \tbattery 140\n"
          "    \t        ^\n" +
          bad +
          ":4:12: expected an application key (Up, Down, Right, Left, Enter, Device5, Device6, "
          "Device7, Device8, F6, F7, F8, Device16, Device24, Device25, Device26, Device27, Unmapped) "
          "or a number, got 'Return'; 'Return' is a device key; a key listener hears the application "
          "key it maps to ('pndhal keys' shows which)\n"
          "    expect key Return\n"
          "               ^\n" +
          Path("worse.scn") +
          ":1:6: expected a duration (250ms, 1.5s, 2min), got '5'\n"
          "    wait 5 s\n"
          "         ^\n");
}

TEST_F(RunReportTest, ReportsTheSameWhetherOneProcessPlaysTheScriptsOrSeveral) {
  std::vector<std::string> args;
  args.reserve(6);
  for (int i = 0; i < 6; ++i) {
    args.push_back(Write("s" + std::to_string(i) + ".scn",
                         i % 3 == 0 ? "press F6\nexpect key Up\n" : "press F7\nexpect key F7\n"));
  }
  const auto run = [&](const std::vector<std::string>& options) {
    std::vector<std::string> all{"run"};
    all.insert(all.end(), options.begin(), options.end());
    all.insert(all.end(), args.begin(), args.end());
    return Tool(all);
  };
  const auto serial = run({"-j", "1"});
  const auto parallel = run({"-j", "3"});
  EXPECT_EQ(serial.exitCode, 1);
  EXPECT_EQ(parallel.exitCode, 1);
  EXPECT_EQ(Timeless(parallel.out), Timeless(serial.out));
  EXPECT_EQ(Timeless(parallel.err), Timeless(serial.err));
  EXPECT_EQ(Lines(serial.err).size(), 2U);

  // The JSON results agree too, and the parallel run's final result counts every script.
  const auto results = [](const std::string& out) {
    std::multiset<std::string> scripts;
    json last;
    for (json line : pndtest::ToolTest::JsonLines(out)) {
      line.erase("seconds");
      if (line.value("type", "") == "script") scripts.insert(line.dump());
      last = line;
    }
    scripts.insert(last.dump());
    return scripts;
  };
  EXPECT_EQ(results(run({"-j", "3", "--json"}).out), results(run({"--json"}).out));
}

}  // namespace
