// Scripts played on a device's console.
#include "console_player.h"

#include <filesystem>

#include "lexer.h"

namespace tool {

ConsolePlayer::ConsolePlayer(pndconsole::Connection& console, const RunSettings& settings, RunReport& report,
                             Recording* recording, LaunchedApplication* application)
    : console_(console),
      settings_(settings),
      report_(report),
      recording_(recording),
      application_(application) {}

void ConsolePlayer::OnEvent(const std::string& line) {
  report_.ConsoleEvent(line);
  if (recording_ == nullptr) return;
  // A listener call's `call` is in the words of the expectation that matches it.
  const Json event = Json::parse(line, nullptr, false);
  if (!event.is_object() || event.find("type") == event.end() || event["type"] != "listener") return;
  if (const auto call = event.find("call"); call != event.end() && call->is_string()) {
    recording_->Add("expect " + call->get<std::string>());
  }
}

void ConsolePlayer::Lost(ScriptResult& result, const std::string& where, const std::string& error) {
  result.verdict = Verdict::Error;
  result.where = where;
  if (application_ != nullptr && application_->WaitFor(kDyingWait)) {
    result.kind = "application";
    result.message = application_->Death();
    const std::string tail = application_->OutputTail(10);
    if (!tail.empty()) result.message += "\n  its last output:\n" + tail;
  } else {
    result.kind = "device";
    result.message = error;
  }
}

bool ConsolePlayer::Prepare(ScriptResult& result) {
  std::vector<std::string> lines;
  // The stream feeds the trace, the JSON lines and the recording; a script's trace in a report needs it too.
  if (!watching_ && (settings_.trace || settings_.json || settings_.childReport || recording_ != nullptr ||
                     !settings_.junitPath.empty())) {
    lines.push_back("watch");
  }
  if (!settings_.profilePath.empty()) {
    lines.push_back("profile load " +
                    scenario::QuoteWord(std::filesystem::absolute(settings_.profilePath).string()));
    if (recording_ != nullptr) recording_->Add(lines.back());
  }
  for (const auto& line : lines) {
    std::string error;
    const auto reply = console_.Execute(
        line, [this](const std::string& event) { OnEvent(event); }, &error);
    if (!reply) {
      Lost(result, result.name, error);
      return false;
    }
    if (!reply->ok) {
      result.verdict = Verdict::Failed;
      result.where = result.name;
      result.kind = "action";
      result.message = line + ": " + reply->reason;
      return false;
    }
    watching_ = watching_ || line == "watch";
  }
  return true;
}

bool ConsolePlayer::Play(const scenario::Script& script) {
  report_.BeginScript();
  ScriptResult result;
  result.name = script.name;
  const auto onEvent = [this](const std::string& event) { OnEvent(event); };
  bool reachable = true;
  if (application_ != nullptr && application_->Ended()) {
    Lost(result, script.name, "");
    reachable = false;
  } else if (Prepare(result)) {
    for (const auto& statement : script.statements) {
      report_.Statement(script.name, statement);
      if (recording_ != nullptr && statement.recorded) recording_->Add(statement.text);
      std::string error;
      const auto reply = console_.Execute(statement.text, onEvent, &error);
      const std::string where = script.name + ":" + std::to_string(statement.line);
      if (!reply) {
        Lost(result, where, error);
        reachable = false;
        break;
      }
      ++result.statements;
      for (const auto& output : reply->output) report_.Output(output);
      if (IsExpectation(statement.text)) report_.Expectation(script.name, statement, reply->ok);
      if (!reply->ok) {
        result.verdict = Verdict::Failed;
        result.where = where;
        result.kind = IsExpectation(statement.text) ? "expectation" : "action";
        result.message = reply->reason;
        break;
      }
      if (IsExpectation(statement.text)) ++result.expectations;
    }
    if (reachable && recording_ != nullptr) console_.ReadEvents(kRecordingQuiet, onEvent);
  } else {
    reachable = result.verdict != Verdict::Error;
  }
  report_.EndScript(result);
  return reachable;
}

}  // namespace tool
