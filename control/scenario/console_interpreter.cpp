// Console sessions: one scenario session per client, answering each command line.
#include "console_interpreter.h"

#include <pndhal/names.h>
#include <pndsim/pndsim.h>

#include <atomic>
#include <nlohmann/json.hpp>

#include "answers.h"
#include "event_json.h"
#include "lexer.h"
#include "scenario.h"

namespace scenario {
namespace {

// The console's verbs beyond the scenario language.
constexpr VerbHelp kConsoleVerbs[] = {
    {"help", "help [VERB]", "list the verbs, or explain one"},
    {"state", "state", "the whole device model as JSON"},
    {"watch", "watch", "stream every platform effect and listener call as it happens"},
    {"unwatch", "unwatch", "stop the stream"},
    {"quit", "quit", "close the connection"},
};

std::string Help(const std::vector<Word>& words) {
  std::vector<VerbHelp> verbs(std::begin(kConsoleVerbs), std::end(kConsoleVerbs));
  verbs.insert(verbs.end(), Verbs().begin(), Verbs().end());
  std::string text;
  for (const VerbHelp& verb : verbs) {
    if (words.size() > 1 && words[1].text != verb.verb) continue;
    text += std::string(verb.usage) + "\n    " + std::string(verb.summary) + "\n";
    if (verb.verb == "expect" && words.size() > 1) {
      text += "    kinds:";
      for (const std::string_view kind : pndhal::kListenerKindNames) text += " " + std::string(kind);
      text += "\n    functions:";
      for (const Query& query : Queries()) text += " " + std::string(query.name);
      text += "\n";
    }
  }
  return text;
}

using Json = nlohmann::ordered_json;

Json State() {
  Json state;
  state["device"] = Json::parse(pndsim::DeviceState(), nullptr, false);
  state["suspended"] = pndsim::IsSuspended();
  Json hotKeys = Json::array();
  for (const auto& hotKey : pndsim::HotKeys()) {
    hotKeys.push_back({{"key", hotKey.virtualKey}, {"modifiers", hotKey.modifiers}, {"id", hotKey.id}});
  }
  state["hotKeys"] = hotKeys;
  const pndsim::TelephoneState telephone = pndsim::Telephone();
  state["telephone"] = {{"running", telephone.running},
                        {"bluetoothPower", telephone.bluetoothPower},
                        {"callState", telephone.callState},
                        {"foreground", telephone.foreground},
                        {"volumeStep", telephone.volumeStep}};
  state["windows"] = pndsim::WindowCount();
  state["threads"] = pndsim::LiveThreadCount();
  state["timeScale"] = pndsim::TimeScale();
  const auto record = [](const pndsim::RecordStatus& status) {
    return Json{{"kept", status.kept}, {"capacity", status.capacity}, {"dropped", status.dropped}};
  };
  state["records"] = {{"trace", record(pndsim::TraceStatus())},
                      {"backlightWrites", record(pndsim::BacklightWritesStatus())},
                      {"telephoneLog", record(pndsim::TelephoneLogStatus())},
                      {"processes", record(pndsim::ProcessesStatus())}};
  return state;
}

class ConsoleSession : public pndconsole::host::Session {
 public:
  explicit ConsoleSession(pndconsole::host::EventSink events)
      : events_(std::move(events)), session_({}, [this](const Event& event) {
          if (!watching_.load()) return;
          const bool listener = event.source == Event::Source::Listener;
          events_((listener ? "listener " : "platform " + event.kind + " ") + event.text, EventJson(event));
        }) {}

  pndconsole::host::Reply Execute(std::string_view line) override {
    std::vector<Word> words;
    try {
      words = SplitWords(line);
    } catch (const SyntaxError& error) {
      return Refuse(error.column, error.what());
    }
    if (words.empty()) return {};
    const std::string& verb = words[0].text;
    if (verb == "help") {
      std::string text = Help(words);
      if (text.empty()) return {false, {}, "no verb " + (words.size() > 1 ? words[1].text : std::string())};
      return {true, std::move(text), {}};
    }
    if (verb == "state") {
      const Json state = State();
      // Indented for people; compact for the JSON mode, which sends it as a value.
      return {true,
              state.dump(2, ' ', false, Json::error_handler_t::replace) + "\n",
              {},
              0,
              state.dump(-1, ' ', false, Json::error_handler_t::replace)};
    }
    if (verb == "watch" || verb == "unwatch") {
      StartSession();
      watching_.store(verb == "watch");
      return {};
    }
    auto parsed = ParseLine(line);
    if (const auto* error = std::get_if<ParseError>(&parsed)) return Refuse(error->column, error->message);
    if (session_.LibraryFreed()) return {false, {}, std::string(kLibraryFreed)};
    StartSession();
    const Outcome outcome = session_.Run(*std::get<std::optional<Statement>>(parsed));
    // A statement cut short because the application freed the library says so.
    if (!outcome.ok && session_.LibraryFreed()) return {false, outcome.output, std::string(kLibraryFreed)};
    return {outcome.ok, outcome.output, outcome.message};
  }

  void Cancel() override { session_.Cancel(); }

 private:
  static constexpr std::string_view kLibraryFreed =
      "the application freed the library (FreeDLL); commands run again once it starts the library";

  static pndconsole::host::Reply Refuse(int column, const std::string& message) {
    return {false, {}, message, column};
  }

  void StartSession() {
    if (started_) return;
    session_.Start();
    started_ = true;
  }

  pndconsole::host::EventSink events_;
  std::atomic<bool> watching_{false};
  bool started_ = false;
  scenario::Session session_;
};

}  // namespace

std::unique_ptr<pndconsole::host::Session> MakeConsoleSession(pndconsole::host::EventSink events) {
  return std::make_unique<ConsoleSession>(std::move(events));
}

}  // namespace scenario
