// Running scenarios on the simulated device: an expectation holds when the library's listeners hear what
// it says, and otherwise fails with what did arrive; a recording of a run replays, and fails at the line
// where the library's behaviour differs.
#include <gtest/gtest.h>

#include <pndhal/pndhal.h>

#include <algorithm>
#include <mutex>
#include <variant>

#include "scenario.h"
#include "sim_guard.h"

namespace {

struct RunResult {
  std::string failure;  // "LINE: message", empty when every line held
  std::vector<std::string> recording;
};

// Plays `text` on a fresh device and library, recording what happened.
RunResult Play(const std::string& text, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  pndtest::SimGuard guard;
  pndsim::SetTimeScale(100);
  auto parsed = scenario::ParseScript(text, "test.scn");
  EXPECT_TRUE(std::holds_alternative<scenario::Script>(parsed));
  RunResult result;
  std::mutex mutex;
  {
    scenario::SessionOptions options;
    options.expectTimeout = timeout;
    options.record = [&](const std::string& line) {
      std::lock_guard lock(mutex);
      result.recording.push_back(line);
    };
    scenario::Session session(options);
    session.Start();
    for (const auto& statement : std::get<scenario::Script>(parsed).statements) {
      const scenario::Outcome outcome = session.Run(statement);
      if (!outcome.ok) {
        result.failure = std::to_string(statement.line) + ": " + outcome.message;
        break;
      }
    }
  }
  FreeDLL();
  return result;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

TEST(ScenarioSession, AnUnmetExpectationSaysWhatArrivedInstead) {
  const std::pair<const char*, const char*> cases[] = {
      {"press F6\nexpect key F6\npress Up\nexpect key Down", "4: expected key Down, got key Up"},
      {"battery 50 high\nexpect volume 10 muted", "2: expected volume 10 muted, got nothing"},
      {"battery 50 high\nexpect power 51", "2: expected power 51, got power 50 battery"},
      {"press F6\nexpect none within 10s", "2: expected none within 10000ms, got key F6"},
      {"expect trace hotkey.register vk=0x99",
       "1: expected trace hotkey.register vk=0x99, got no hotkey.register effect"},
      {"volume 50\nexpect trace wave.volume 0x1234",
       "2: expected trace wave.volume 0x1234, got only wave.volume 0x80008000"},
      {"volume 60\nexpect GetVolume = 61", "2: expected GetVolume = 61, got 60"},
      {"expect GetScreenOrientation = *",
       "1: expected GetScreenOrientation = *, got landscape 480 272 (3 words; each '*' stands for one)"},
      {"card remove SD", "1: card remove SD: no such folder is mounted"},
      {"resume", "1: resume: the device is not suspended"},
      {"phone call incoming", "1: phone call incoming: the telephone program does not run"},
  };
  for (const auto& [script, failure] : cases) {
    EXPECT_EQ(Play(script, std::chrono::milliseconds(300)).failure, failure) << script;
  }
}

TEST(ScenarioSession, ARecordingReplaysAndFailsWhereTheLibraryDiffers) {
  const RunResult original = Play(
      "press F6\ncard mount SD-Karte\nbattery 30 high\nwait poll\nsuspend\nresume\nphone launch\n"
      "phone call incoming\nphone close\n");
  ASSERT_EQ(original.failure, "");
  // Actions in the order they ran; listener calls, which arrive on the library's threads, in the order
  // each kind arrived.
  const auto only = [&](auto keep) {
    std::vector<std::string> lines;
    for (const auto& line : original.recording) {
      if (keep(line)) lines.push_back(line);
    }
    return lines;
  };
  const auto isExpectation = [](const std::string& line) { return line.rfind("expect ", 0) == 0; };
  EXPECT_EQ(
      only([&](const std::string& line) { return !isExpectation(line); }),
      (std::vector<std::string>{"press F6", "card mount SD-Karte", "battery 30 high", "wait poll", "suspend",
                                "resume", "phone launch", "phone call incoming", "phone close"}));
  EXPECT_EQ(only([&](const std::string& line) { return line.rfind("expect suspend", 0) == 0; }),
            (std::vector<std::string>{"expect suspend true", "expect suspend false"}));
  EXPECT_EQ(only([&](const std::string& line) { return line.rfind("expect call", 0) == 0; }),
            (std::vector<std::string>{"expect call idle", "expect call incoming"}));
  EXPECT_EQ(only(isExpectation).size(), 7U);
  EXPECT_EQ(Play(Joined(original.recording)).failure, "");

  // The same session on a device whose key map sends F6 elsewhere: the replay stops at that key.
  const auto keyLine = std::find(original.recording.begin(), original.recording.end(), "expect key F6");
  ASSERT_NE(keyLine, original.recording.end());
  EXPECT_EQ(Play("keymap set F6=Device5\n" + Joined(original.recording)).failure,
            std::to_string(keyLine - original.recording.begin() + 2) + ": expected key F6, got key Device5");
}

TEST(ScenarioSession, EveryListenerKindsCallIsRecordedAsTheExpectationThatMatchesIt) {
  const RunResult run = Play(
      "press F6\nrecord on\npress F6\nrecord off\nbattery 30 high\nvolume 40\nwait poll\n"
      "card mount SD-Karte\nsuspend\nresume\nphone launch\nphone call incoming\n"
      "phone foreground telephone\nphone close\n");
  ASSERT_EQ(run.failure, "");
  for (const char* const line :
       {"expect key F6", "expect record 0x75", "expect power 30 battery", "expect volume 40 unmuted",
        "expect card mounted SD-Karte sd", "expect suspend true", "expect call incoming",
        "expect foreground telephone"}) {
    EXPECT_NE(std::find(run.recording.begin(), run.recording.end(), line), run.recording.end()) << line;
    // The words a call is recorded in read back as themselves.
    const auto parsed = scenario::ParseLine(line);
    ASSERT_TRUE(std::holds_alternative<std::optional<scenario::Statement>>(parsed)) << line;
    EXPECT_EQ(std::get<std::optional<scenario::Statement>>(parsed)->text, line);
  }
}

}  // namespace
