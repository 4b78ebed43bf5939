// `pndhal run --launch`: the tool starts the application with its console open on a port and a token of
// its own, plays the scripts on it and stops it; an application that exits, crashes or will not stop is a
// failure that says so, and a run leaves neither the application nor its token behind.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tool_fixture.h"

namespace {

using LaunchTest = pndtest::ToolTest;

std::string App(const std::string& mode) { return std::string(LAUNCH_APP) + " " + mode; }

struct LaunchCase {
  const char* name;
  std::string launch;
  int exitCode;
  std::vector<std::string> out;  // patterns, one per stdout line
  std::string err;               // a pattern of stderr
};

TEST_F(LaunchTest, StopsTheApplicationAndSaysHowItEnded) {
  // F7 is the key the test application dies of, in the ways its mode chooses.
  const std::string dies = Write("dies.scn", "press F6\nexpect key F6\npress F7\nexpect key F7\npress F6\n");
  const std::string after = Write("after.scn", "press F6\nexpect key F6\n");
  const std::string time = "  [0-9.]+ s";
  const LaunchCase cases[] = {
      {"well",
       App("well"),
       0,
       {"PASS " + dies + "  2 expectations" + time, "PASS " + after + "  1 expectation" + time,
        "2 scripts: 2 passed, 0 failed" + time},
       ""},
      {"exit",
       App("exit"),
       1,
       {"ERROR " + dies + "  line [345]: the application launch_app \\(pid [0-9]+\\) exited with status 3" +
            time,
        "ERROR " + after + "  not played: the application launch_app \\(pid [0-9]+\\) exited with status 3" +
            time,
        "2 scripts: 0 passed, 0 failed, 2 not played to the end" + time},
       "its last output:\n    launch_app: running \\(exit\\)"},
      {"crash",
       App("crash"),
       1,
       {"ERROR " + dies +
            "  line [345]: the application launch_app \\(pid [0-9]+\\) was killed by signal 6 \\(Aborted\\)" +
            time,
        "ERROR " + after + "  not played: .* was killed by signal 6 \\(Aborted\\)" + time,
        "2 scripts: 0 passed, 0 failed, 2 not played to the end" + time},
       ""},
      {"stubborn",
       App("stubborn"),
       1,
       {"PASS " + dies + "  2 expectations" + time, "PASS " + after + "  1 expectation" + time,
        "2 scripts: 2 passed, 0 failed" + time},
       "pndhal: run: the application launch_app \\(pid [0-9]+\\) did not end within 0.2 s of the end of its "
       "input nor 0.2 s of SIGTERM, and was killed\n"},
      {"no console",
       "sleep 30",
       1,
       {"ERROR " + dies +
            "  not played: the application sleep \\(pid [0-9]+\\) did not open its console within 0.5 s.*",
        "ERROR " + after + "  not played: .*",
        "2 scripts: 0 passed, 0 failed, 2 not played to the end" + time},
       "pndhal: run: the application sleep \\(pid [0-9]+\\) did not open its console within 0.5 s"},
      {"no program",
       Path("no-such-program"),
       2,
       {"ERROR " + dies + "  not played: cannot start .*no-such-program: No such file or directory" + time,
        "ERROR " + after + "  not played: .*",
        "2 scripts: 0 passed, 0 failed, 2 not played to the end" + time},
       "pndhal: run: cannot start .*no-such-program: No such file or directory\n"},
  };
  for (const LaunchCase& c : cases) {
    // The application that does not stop is the one that stays once Stop is over: the test sets its waits
    // short.
    const auto result =
        Tool({"run", "--launch", c.launch, "--launch-wait", "0.5", "--stop-wait", "0.2", dies, after});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.name << "\n" << result.err;
    std::istringstream out(result.out);
    std::size_t line = 0;
    for (std::string text; std::getline(out, text); ++line) {
      ASSERT_LT(line, c.out.size()) << c.name << ": " << text;
      EXPECT_TRUE(std::regex_match(text, std::regex(c.out[line]))) << c.name << ": " << text;
    }
    EXPECT_EQ(line, c.out.size()) << c.name << "\n" << result.out;
    EXPECT_TRUE(std::regex_search(result.err, std::regex(c.err))) << c.name << "\n" << result.err;
    // Neither the application's token nor its output stays behind.
    EXPECT_TRUE(std::filesystem::is_empty(Path("tmp"))) << c.name;
  }
}

TEST_F(LaunchTest, ParallelRunsLaunchAnApplicationEach) {
  // On one device the second mount of the same folder would be refused.
  std::vector<std::string> args{"run", "-j", "2", "--launch", App("well")};
  for (int i = 0; i < 4; ++i) {
    args.push_back(
        Write("mount" + std::to_string(i) + ".scn", "card mount SD-Karte\nexpect card mounted SD-Karte\n"));
  }
  const auto result = Tool(args);
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("4 scripts: 4 passed, 0 failed"), std::string::npos) << result.out;

  // A command that cannot start fails every process alike, and is said once.
  args[4] = Path("no-such-program");
  const auto refused = Tool(args);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.err,
            "pndhal: run: cannot start " + Path("no-such-program") + ": No such file or directory\n");
  EXPECT_NE(refused.out.find("4 scripts: 0 passed, 0 failed, 4 not played to the end"), std::string::npos)
      << refused.out;
}

TEST_F(LaunchTest, RecordsWhatTheLaunchedApplicationsListenersHeard) {
  const std::string recording = Path("recorded.scn");
  const auto recorded = Tool({"run", "--quiet", "--launch", App("well"), "--record", recording,
                              Write("actions.scn", "press F6\ncard mount SD-Karte\n")});
  ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
  std::vector<std::string> lines;
  std::istringstream text(Read(recording));
  for (std::string line; std::getline(text, line);) {
    if (line.rfind('#', 0) != 0) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"card mount SD-Karte", "expect card mounted SD-Karte sd",
                                             "expect key F6", "press F6"}));
  // The recording replays on a device of the tool's own.
  const auto replay = Tool({"run", recording});
  EXPECT_EQ(replay.exitCode, 0) << replay.err;
}

}  // namespace
