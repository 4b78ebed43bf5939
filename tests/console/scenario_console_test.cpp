// The console of an application's device speaks the scenario language: every verb group answered OK or
// KO with the reason, the parser's column for a malformed line, the device state, the live stream during a
// storm of keys, and scripts played through `pndhal run --attach`.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "console_harness.h"
#include "process.h"

namespace consoletest {
namespace {

// The scenario device with its console open and a raw client signed in with the user's token; `environment`
// adds to the device's environment.
struct ScenarioConsole {
  explicit ScenarioConsole(std::vector<std::string> environment = {}) {
    folders.WriteToken("t0ken\n");
    device = std::make_unique<Device>(std::vector<std::string>{}, "auto", SCENARIO_DEVICE_PATH,
                                      std::move(environment));
    raw = std::make_unique<Raw>(device->Port());
    raw->Greeting();
    signedIn = raw->Command("auth t0ken") == Lines{"OK"};
  }
  Folders folders;
  std::unique_ptr<Device> device;
  std::unique_ptr<Raw> raw;
  bool signedIn = false;
};

// The application frees the library while a client is connected and its listeners attached: FreeDLL
// returns, the session lets go, commands get a KO until the application starts the library again, and
// then they run as before.
TEST(ScenarioConsole, FollowsTheApplicationFreeingAndStartingTheLibrary) {
  ScenarioConsole console;
  ASSERT_TRUE(console.signedIn);
  EXPECT_EQ(console.raw->Command("press F6"), Lines{"OK"});
  EXPECT_EQ(console.raw->Command("expect key F6"), Lines{"OK"});
  EXPECT_EQ(console.device->Tell("free"), "done free");
  const Lines refused{
      "KO: the application freed the library (FreeDLL); commands run again once it starts the library"};
  EXPECT_EQ(console.raw->Command("press F6"), refused);
  EXPECT_EQ(console.raw->Command("expect GetVolume = *"), refused) << "the console starts no library itself";
  EXPECT_EQ(console.raw->Command("state").back(), "OK") << "the device itself still answers";
  EXPECT_EQ(console.device->Tell("init"), "done init");
  EXPECT_EQ(console.raw->Command("press F6"), Lines{"OK"});
  EXPECT_EQ(console.raw->Command("expect key F6"), Lines{"OK"});
  EXPECT_EQ(console.device->Finish(), 0) << "the application ends with the client still connected";
}

TEST(ScenarioConsole, AnswersEveryVerbGroupWithOkOrTheReason) {
  ScenarioConsole console;
  ASSERT_TRUE(console.signedIn);
  const std::pair<const char*, Lines> exchange[] = {
      {"press F6", {"OK"}},
      {"expect key F6", {"OK"}},
      {"record on", {"OK"}},
      {"press Up", {"OK"}},
      {"expect record Up", {"OK"}},
      {"record off", {"OK"}},
      {"battery 5", {"OK"}},
      {"expect power 5 battery", {"OK"}},
      {"volume 60", {"OK"}},
      {"expect volume 60", {"OK"}},
      {"expect GetVolume = 61", {"KO: expected GetVolume = 61, got 60"}},
      {"brightness 40", {"OK"}},
      {"expect GetBrightness = 40", {"OK"}},
      {"card mount SD-Karte", {"OK"}},
      {"expect card mounted SD-Karte sd", {"OK"}},
      {"card remove CF", {"KO: card remove CF: no such folder is mounted"}},
      {"file add \\SD-Karte\\de.map", {"OK"}},
      {"expect files \\SD-Karte = de.map", {"OK"}},
      {"program start \\SD-Karte\\de.map",
       {"KO: program start \"\\\\SD-Karte\\\\de.map\": the device refused it with error 193"}},
      {"suspend", {"OK"}},
      {"expect suspend true", {"OK"}},
      {"resume", {"OK"}},
      {"expect suspend false", {"OK"}},
      {"phone launch", {"OK"}},
      {"expect call idle", {"OK"}},
      {"phone call incoming", {"OK"}},
      {"expect call incoming", {"OK"}},
      {"zone UTC0", {"OK"}},
      {"clock pin 2026-01-01T00:00:00Z", {"OK"}},
      {"expect GetLocalNavTime = 2026-01-01T00:00:00", {"OK"}},
      {"fail CreateThread 0", {"OK"}},
      {"wait 1s", {"OK"}},
      {"expect none within 1s", {"OK"}},
      {"battery 140", {"KO: column 9: expected a battery percentage (0 to 100), got '140'"}},
      {"press \"F6", {"KO: column 7: expected a closing '\"' for this quote"}},
      {"jump",
       {"KO: column 1: expected a verb (press, release, record, keymap, battery, plug, unplug, suspend, "
        "resume, volume, mute, mixer, brightness, display, card, file, folder, program, phone, clock, zone, "
        "wait, fail, profile, reset, time-scale, "
        "expect), got 'jump'"}},
      {"profile load /nonexistent.json",
       {"KO: profile load /nonexistent.json: /nonexistent.json: cannot read the file: No such file or "
        "directory"}},
      {"profile load /dev/zero", {"KO: profile load /dev/zero: /dev/zero: not a regular file"}},
      {"help zone", {"| zone NAME", "|     make a tz database zone or a TZ rule the current zone", "OK"}},
      {"help jump", {"KO: no verb jump"}},
  };
  for (const auto& [line, reply] : exchange) EXPECT_EQ(console.raw->Command(line), reply) << line;

  const Lines help = console.raw->Command("help");
  EXPECT_EQ(help.back(), "OK");
  EXPECT_NE(std::find(help.begin(), help.end(), "| press KEY [alt|ctrl|shift|win]..."), help.end());
  EXPECT_NE(std::find(help.begin(), help.end(), "| watch"), help.end());

  Lines state = console.raw->Command("state");
  ASSERT_EQ(state.back(), "OK");
  std::string json;
  for (std::size_t i = 0; i + 1 < state.size(); ++i) json += state[i].substr(2);
  const auto parsed = nlohmann::json::parse(json, nullptr, false);
  ASSERT_FALSE(parsed.is_discarded()) << json;
  EXPECT_EQ(parsed["device"]["power"]["battery"], 5);
  EXPECT_EQ(parsed["device"]["cards"], nlohmann::json::array({"SD-Karte"}));
  EXPECT_EQ(parsed["telephone"]["callState"], 1);
  // Each record of what happened says how full it is; none had to drop anything.
  const std::pair<const char*, std::size_t> records[] = {
      {"trace", pndsim::kDefaultTraceCapacity},
      {"backlightWrites", pndsim::kDefaultBacklightWritesCapacity},
      {"telephoneLog", pndsim::kDefaultTelephoneLogCapacity},
      {"processes", pndsim::kDefaultProcessesCapacity},
  };
  for (const auto& [name, capacity] : records) {
    const auto& record = parsed["records"][name];
    EXPECT_GT(record.value("kept", 0), 0) << name;
    EXPECT_EQ(record.value("capacity", 0u), capacity) << name;
    EXPECT_EQ(record.value("dropped", -1), 0) << name;
  }

  EXPECT_EQ(console.raw->Command("quit"), Lines{"OK"});
  EXPECT_TRUE(console.raw->ClosedByPeer());
}

TEST(ScenarioConsole, StreamsEveryKeyOfAStormToAWatchingClient) {
  ScenarioConsole console;
  ASSERT_TRUE(console.signedIn);
  ASSERT_EQ(console.raw->Command("watch"), Lines{"OK"});
  constexpr int kPresses = 200;
  std::string burst;
  for (int i = 0; i < kPresses; ++i) burst += "press F6\n";
  console.raw->Send(burst);
  int answered = 0;
  int heard = 0;
  while (answered < kPresses || heard < kPresses) {
    const auto line = console.raw->Line();
    ASSERT_TRUE(line) << answered << " answers and " << heard << " keys before the stream stopped";
    if (*line == "OK") ++answered;
    if (line->rfind("* ", 0) == 0 && line->find(" listener key F6") != std::string::npos) ++heard;
  }
  EXPECT_EQ(console.raw->Command("unwatch"), Lines{"OK"});
}

TEST(ScenarioConsole, PlaysAScriptThroughRunAttach) {
  ScenarioConsole console;
  ASSERT_TRUE(console.signedIn);
  const fs::path script = fs::path(console.folders.Home()) / "attach.scn";
  const auto run = [&](const std::string& text) {
    std::ofstream(script) << text;
    pndtest::ProcessRequest request;
    request.argv = {PNDHAL_TOOL, "run", "--attach", std::to_string(console.device->Pid()), script.string()};
    request.environment = {"HOME=" + console.folders.Home(), "XDG_RUNTIME_DIR=" + console.folders.Run()};
    return pndtest::RunProcess(request);
  };
  const auto passed = run("press F7\nexpect key F7\ncard mount X\nexpect card mounted X\n");
  EXPECT_EQ(passed.exitCode, 0) << passed.err;
  const auto failed = run("press F7\nexpect key F6\n");
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.err, script.string() + ":2: expected key F6, got key F7\n");
}

// The device's state as `state` shows it.
nlohmann::json State(ScenarioConsole& console) {
  const Lines state = console.raw->Command("state");
  std::string json;
  for (std::size_t i = 0; i + 1 < state.size(); ++i) json += state[i].substr(2);
  return nlohmann::json::parse(json, nullptr, false);
}

// An application started on a chosen device (its profile and time scale from the environment) is tested
// again and again through `run --attach`: `reset` returns the device to that profile, so the same script
// passes every time; the run's own time scale is the device's for the run only; and a change made on a
// console before a run is one the run sees.
TEST(ScenarioConsole, ResetGivesEveryAttachedRunTheSameStart) {
  const fs::path profile = fs::temp_directory_path() / ("pndsim-low-" + std::to_string(getpid()) + ".json");
  std::ofstream(profile) << R"({"power": {"battery": 42}})";
  ScenarioConsole console({"PNDSIM_PROFILE=" + profile.string(), "PNDSIM_TIME_SCALE=3"});
  fs::remove(profile);
  ASSERT_TRUE(console.signedIn);
  EXPECT_EQ(State(console)["timeScale"], 3.0);
  EXPECT_EQ(State(console)["device"]["power"]["battery"], 42);

  const fs::path script = fs::path(console.folders.Home()) / "again.scn";
  const auto run = [&](std::vector<std::string> options, const std::string& text) {
    std::ofstream(script) << text;
    pndtest::ProcessRequest request;
    request.argv = {PNDHAL_TOOL, "run", "--attach", std::to_string(console.device->Pid())};
    request.argv.insert(request.argv.end(), options.begin(), options.end());
    request.argv.push_back(script.string());
    request.environment = {"HOME=" + console.folders.Home(), "XDG_RUNTIME_DIR=" + console.folders.Run()};
    return pndtest::RunProcess(request);
  };
  const std::string again =
      "reset\nexpect PMGetPowerInfo = 42 battery\nbattery 5\nwait poll\nexpect power 5 battery\n"
      "card mount SD-Karte\nexpect card mounted SD-Karte\n";
  for (int attempt = 0; attempt < 20; ++attempt) {
    const auto result = run({"--quiet", "--time-scale", "100"}, again);
    ASSERT_EQ(result.exitCode, 0) << "run " << attempt << ": " << result.err;
  }
  EXPECT_EQ(State(console)["timeScale"], 3.0) << "the run gives the device its time scale back";

  EXPECT_EQ(console.raw->Command("battery 17"), Lines{"OK"});
  const auto seen = run({}, "expect power 17 battery\n");
  EXPECT_EQ(seen.exitCode, 0) << seen.err;
}

// A raw client that chose the JSON mode: the JSON greeting, then one JSON line per request or event.
struct JsonClient {
  explicit JsonClient(int port) : raw(port) {
    raw.Greeting();
    raw.Send("mode json\n");
    greeting = Next();
  }
  nlohmann::json Next() {
    const auto line = raw.Line();
    last = line.value_or("");
    return line ? nlohmann::json::parse(*line, nullptr, false) : nlohmann::json();
  }
  // The reply to `request`; the events before it are kept, as they came, in `events`.
  nlohmann::json Ask(const std::string& request) {
    raw.Send(request + "\n");
    while (true) {
      nlohmann::json line = Next();
      if (!line.is_object() || line["type"] == "reply") return line;
      events.push_back(last);
    }
  }
  Raw raw;
  nlohmann::json greeting;
  std::string last;
  std::vector<std::string> events;
};

TEST(ScenarioConsole, SpeaksJsonToAClientThatChoosesIt) {
  ScenarioConsole console;
  JsonClient client(console.device->Port());
  EXPECT_EQ(client.greeting["type"], "greeting");
  EXPECT_EQ(client.greeting["protocol"], 1);
  EXPECT_EQ(client.greeting["pid"], console.device->Pid());
  EXPECT_EQ(client.greeting["auth"], "required");
  using Json = nlohmann::json;
  const auto refused = [](const Json& id, const char* message, int column = 0) {
    Json error = {{"message", message}};
    if (column > 0) error["column"] = column;
    return Json{{"type", "reply"}, {"id", id}, {"ok", false}, {"output", ""}, {"error", error}};
  };
  const auto ok = [](const Json& id) {
    return Json{{"type", "reply"}, {"id", id}, {"ok", true}, {"output", ""}};
  };
  const std::pair<std::string, Json> exchange[] = {
      {R"({"id": 1, "command": "battery 5"})",
       refused(1,
               "authentication required: send \"auth TOKEN\" with the token from ~/.pndsim_console_token")},
      {R"({"id": "a", "command": "auth t0ken"})", ok("a")},
      {R"({"id": 2, "command": "watch"})", ok(2)},
      {R"({"command": "battery 5"})", ok(nullptr)},
      {R"({"id": 3, "command": "expect power 5 battery"})", ok(3)},
      {R"({"id": 4, "command": "battery 140"})",
       refused(4, "expected a battery percentage (0 to 100), got '140'", 9)},
      {R"({"id": 5, "command": "expect GetVolume = 61"})", refused(5, "expected GetVolume = 61, got 80")},
      {R"({"id": 6, "command": "press\u0001F6"})", refused(6, "control character at column 6", 6)},
      {R"({"id": [6], "command": "press F6"})", refused(nullptr, "\"id\" must be a number, a text or null")},
      {R"({"id": 7, "verb": "press F6"})", refused(7, "unknown member \"verb\"")},
      {R"({"id": 8})", refused(8, "a request needs a \"command\" text")},
      {R"({"id": 9, "command": "mode line"})", refused(9, "a connection in JSON mode stays in it")},
      {R"({"id": 1e999, "command": "press F6"})",
       refused(nullptr,
               "not a JSON request: [json.exception.out_of_range.406] number overflow parsing '1e999'")},
  };
  for (const auto& [request, reply] : exchange) EXPECT_EQ(client.Ask(request), reply) << request;
  const Json garbled = client.Ask("press F6");
  EXPECT_EQ(garbled["id"], nullptr);
  EXPECT_EQ(garbled["error"]["column"], 1) << garbled;

  // The state is a JSON value; the events are objects of the shared schema.
  const Json state = client.Ask(R"({"id": 10, "command": "state"})");
  EXPECT_EQ(state["value"]["device"]["power"]["battery"], 5) << state;
  const auto power = std::find_if(client.events.begin(), client.events.end(), [](const std::string& event) {
    return Json::parse(event).value("kind", "") == "power";
  });
  ASSERT_NE(power, client.events.end());
  const Json call = Json::parse(*power);
  EXPECT_EQ(call["call"], "power 5 battery");
  EXPECT_EQ(call["fields"], (Json{{"level", 5}, {"state", "battery"}}));

  // A wrong token closes the connection, as in the line mode.
  JsonClient stranger(console.device->Port());
  EXPECT_EQ(stranger.Ask(R"({"id": 1, "command": "auth nope"})"), refused(1, "wrong token"));
  EXPECT_FALSE(stranger.raw.Line());
}

// `run --attach --json` passes the device's events on as the console sends them: the same bytes a
// watching client receives.
TEST(ScenarioConsole, GivesRunAttachTheEventsByteForByte) {
  ScenarioConsole console;
  JsonClient watcher(console.device->Port());
  ASSERT_EQ(watcher.Ask(R"({"id": 1, "command": "auth t0ken"})")["ok"], true);
  ASSERT_EQ(watcher.Ask(R"({"id": 2, "command": "watch"})")["ok"], true);
  const fs::path script = fs::path(console.folders.Home()) / "json.scn";
  std::ofstream(script) << "press F7\nexpect key F7\nbattery 5\n";
  pndtest::ProcessRequest request;
  request.argv = {PNDHAL_TOOL,    "run", "--json", "--attach", std::to_string(console.device->Pid()),
                  script.string()};
  request.environment = {"HOME=" + console.folders.Home(), "XDG_RUNTIME_DIR=" + console.folders.Run()};
  const auto run = pndtest::RunProcess(request);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // A listener call and a platform effect of the script, as run printed them.
  std::vector<std::string> fromRun;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(R"("call":"key F7")") != std::string::npos ||
        line.find(R"("kind":"power.status")") != std::string::npos) {
      fromRun.push_back(line);
    }
  }
  ASSERT_EQ(fromRun.size(), 2U) << run.out;
  // The watcher's stream holds the same lines, once a request has flushed it through.
  watcher.Ask(R"({"id": 3, "command": "help watch"})");
  for (const std::string& line : fromRun) {
    EXPECT_NE(std::find(watcher.events.begin(), watcher.events.end(), line), watcher.events.end()) << line;
  }
}

}  // namespace
}  // namespace consoletest
