// The scenario language's core: the parsing of a line and of a script, the verbs that belong to no
// device service (wait, fail, profile, reset, time-scale) and `expect`, which hands a listener kind, a query
// or a service's own form to the service that describes it. The services' verbs are in services/.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "answers.h"
#include "cursor.h"
#include "scenario.h"
#include "service.h"
#include "statement_makers.h"
#include "suggestions.h"

namespace scenario {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

// The pause of one polling period: how often the library looks at the volume and the power state.
constexpr double kPollingPeriodMs = 5000;

// --- Words -------------------------------------------------------------------------------------------

std::string FormatDuration(Milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%gms", duration.count());
  return text;
}

// Whether the words of `actual` match `pattern`: word for word, '*' matching any word, and words the
// pattern leaves out matching anything.
bool Matches(const std::vector<std::string>& pattern, const std::string& actual) {
  const std::vector<Word> words = SplitWords(actual);
  if (pattern.size() > words.size()) return false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != "*" && pattern[i] != words[i].text) return false;
  }
  return true;
}

// --- The language's own verbs ----------------------------------------------------------------------

Statement ParseWait(Cursor& cursor) {
  const bool poll = cursor.TakeIf("poll");
  const Milliseconds duration = poll ? Milliseconds(kPollingPeriodMs) : cursor.Duration();
  Statement statement =
      Action(poll ? "wait poll" : "wait " + FormatDuration(duration), [] { return std::string(); });
  statement.run = [duration, text = statement.text](Session& session) {
    return session.WaitDeviceTime(duration.count()) ? Outcome{} : Failure(text + ": cancelled");
  };
  return statement;
}

// The device back to its profile, and the library's reports of the change settled and set aside: the next
// expectation starts from a known state, however the device was left.
Statement ParseReset(Cursor&) {
  Statement statement = Action("reset", [] { return std::string(); });
  statement.run = [](Session& session) {
    pndsim::RestoreProfile();
    // The polling thread reads the volume and then the power state each round and reports what changed.
    // The first power read after the restore may end a round whose volume read came before it; once the
    // next round has read the power state too, both changes have been reported. A library that does not
    // poll is waited for three periods at most.
    const std::uint64_t reads = pndsim::PowerStatusReads();
    for (double waited = 0; pndsim::PowerStatusReads() < reads + 2 && waited < 3 * kPollingPeriodMs;
         waited += kPollingPeriodMs / 20) {
      if (!session.WaitDeviceTime(kPollingPeriodMs / 20)) return Failure("reset: cancelled");
    }
    pndsim::WaitForQuiet(session.Options().settleLimit);
    session.DiscardEvents();
    return Outcome{};
  };
  return statement;
}

Statement ParseTimeScale(Cursor& cursor) {
  const std::string word(cursor.Peek());
  char* end = nullptr;
  const double factor = std::strtod(word.c_str(), &end);
  if (word.empty() || *end != '\0' || !std::isfinite(factor) || factor <= 0) {
    cursor.Fail("a time scale (a positive number: 10 runs the device ten times faster than real time)");
  }
  cursor.Take("");
  char text[64];
  std::snprintf(text, sizeof text, "time-scale %g", factor);
  return Action(text, [factor] { return pndsim::SetTimeScale(factor), std::string(); });
}

Statement ParseFail(Cursor& cursor) {
  std::optional<pndsim::Call> call;
  std::string names;
  std::vector<std::string> candidates;
  for (std::size_t i = 0; i < pndsim::kCallCount; ++i) {
    if (!cursor.AtEnd() && NameTable("", {{pndsim::kCallNames[i], 0}}).Find(cursor.Peek())) {
      call = static_cast<pndsim::Call>(i);
    }
    names += (i == 0 ? "" : ", ") + std::string(pndsim::kCallNames[i]);
    candidates.emplace_back(pndsim::kCallNames[i]);
  }
  if (!call) cursor.Fail("a platform call (" + names + ")", candidates);
  cursor.Take("");
  const long count = cursor.AtEnd() ? 1 : cursor.Integer(0, 1000000, "a count");
  return Action("fail " + std::string(pndsim::CallName(*call)) + " " + std::to_string(count), [=] {
    pndsim::FailNext(*call, static_cast<int>(count));
    return std::string();
  });
}

Statement ParseProfile(Cursor& cursor) {
  const bool save = cursor.Choice({"load", "save"}) == 1;
  std::string file = cursor.Take("a profile file").text;
  // A script names its profile as it names everything else: beside itself, wherever it is run from.
  if (!cursor.Folder().empty() && std::filesystem::path(file).is_relative()) {
    file =
        std::filesystem::absolute(std::filesystem::path(cursor.Folder()) / file).lexically_normal().string();
  }
  if (save) {
    Statement statement = Action("profile save " + QuoteWord(file), [file] {
      const std::string state = pndsim::DeviceState();
      std::FILE* out = std::fopen(file.c_str(), "w");
      const auto refused = [&file] {
        return "cannot write " + file + ": " + std::generic_category().message(errno);
      };
      if (out == nullptr) return refused();
      const bool written = std::fwrite(state.data(), 1, state.size(), out) == state.size();
      const bool closed = std::fclose(out) == 0;
      return written && closed ? std::string() : refused();
    });
    statement.recorded = false;  // it changes nothing of the device: a replay need not write the file again
    return statement;
  }
  return Action("profile load " + QuoteWord(file), [file] {
    const auto error = pndsim::LoadProfile(file);
    return error ? error->Text() : std::string();
  });
}

// --- Expectations --------------------------------------------------------------------------------------

// Waits for the next listener call of `kind` and compares it with `pattern`.
Statement ListenerExpectation(const std::string& kind, std::vector<std::string> pattern) {
  pattern.insert(pattern.begin(), kind);
  const std::string expected = Join(pattern);
  return Expectation("expect " + expected, [kind, pattern, expected](Session& session) {
    const auto event = session.Observer().TakeListenerEvent(kind, session.ExpectDeadline());
    if (!event) return Failure("expected " + expected + ", got nothing");
    if (!Matches(pattern, event->text)) return Failure("expected " + expected + ", got " + event->text);
    return Outcome{};
  });
}

Statement ParseListenerExpectation(Cursor& cursor, const ListenerDescription& listener) {
  CallPattern pattern(cursor);
  listener.pattern(pattern);
  cursor.End();
  return ListenerExpectation(std::string(listener.kind), pattern.Fields());
}

Statement ParseTraceExpectation(Cursor& cursor) {
  const std::string kind = cursor.Take("a trace kind (hotkey.register, message.post, ...)").text;
  const std::string text = cursor.AtEnd() ? std::string() : cursor.Take("").text;
  cursor.End();
  const std::string expected = "trace " + QuoteWord(kind) + (text.empty() ? "" : " " + QuoteWord(text));
  return Expectation("expect " + expected, [=](Session& session) {
    std::vector<std::string> seen;
    if (session.Observer().TakeTraceEvent(kind, text, session.ExpectDeadline(), &seen)) return Outcome{};
    // What did come of that kind tells a detail written differently from a missing effect.
    if (seen.empty()) return Failure("expected " + expected + ", got no " + kind + " effect");
    std::string got;
    for (const auto& detail : seen) got += (got.empty() ? "" : ", ") + kind + " " + QuoteWord(detail);
    return Failure("expected " + expected + ", got only " + got);
  });
}

Statement ParseNoneExpectation(Cursor& cursor) {
  cursor.Choice({"within"});
  const Milliseconds duration = cursor.Duration();
  cursor.End();
  const std::string expected = "none within " + FormatDuration(duration);
  return Expectation("expect " + expected, [=](Session& session) {
    const auto scaled = std::chrono::duration_cast<Clock::duration>(duration / pndsim::TimeScale());
    const auto event =
        session.Observer().FirstListenerEventSince(session.ActionMark(), Clock::now() + scaled);
    return event ? Failure("expected " + expected + ", got " + event->text) : Outcome{};
  });
}

Statement ParseExpect(Cursor& cursor) {
  for (const std::string_view kind : pndhal::kListenerKindNames) {
    const ListenerDescription* listener = FindListenerKind(kind);
    if (listener != nullptr && cursor.TakeIf(kind)) return ParseListenerExpectation(cursor, *listener);
  }
  if (cursor.TakeIf("trace")) return ParseTraceExpectation(cursor);
  if (cursor.TakeIf("none")) return ParseNoneExpectation(cursor);
  for (const ExpectForm& form : ExpectForms()) {
    for (const std::string_view word : form.words) {
      if (cursor.TakeIf(word)) return form.parse(cursor, word);
    }
  }
  for (const Query& query : Queries()) {
    if (cursor.TakeIf(query.name)) return ParseQueryExpectation(cursor, query);
  }
  std::string kinds;
  std::vector<std::string> candidates{"trace", "none"};
  std::string forms = ", trace, none";
  for (const ExpectForm& form : ExpectForms()) {
    for (const std::string_view word : form.words) {
      forms += ", " + std::string(word);
      candidates.emplace_back(word);
    }
  }
  for (const std::string_view kind : pndhal::kListenerKindNames) {
    if (FindListenerKind(kind) == nullptr) continue;
    kinds += (kinds.empty() ? "" : ", ") + std::string(kind);
    candidates.emplace_back(kind);
  }
  for (const Query& query : Queries()) candidates.emplace_back(query.name);
  cursor.Fail("a listener kind (" + kinds + ")" + forms + " or a query function (GetVolume, ...)",
              candidates);
}

// --- The verb table ------------------------------------------------------------------------------------

struct Verb {
  VerbHelp help;
  Statement (*parse)(Cursor& cursor);
};

// The help of `expect`: its own forms and those of the services.
VerbHelp ExpectHelp() {
  static const std::string usage = [] {
    std::string text =
        "expect KIND FIELDS... | expect trace KIND [TEXT] | expect none within DURATION | "
        "expect FUNCTION [ARG] = ANSWER";
    for (const ExpectForm& form : ExpectForms()) text += " | " + std::string(form.usage);
    return text;
  }();
  static const std::string summary = [] {
    std::vector<std::string_view> checks{"a query's answer"};
    for (const ExpectForm& form : ExpectForms()) checks.push_back(form.checks);
    std::string text = "wait for a listener call or a trace event, or check ";
    for (std::size_t i = 0; i < checks.size(); ++i) {
      text += std::string(i == 0 ? "" : i + 1 == checks.size() ? " or " : ", ") + std::string(checks[i]);
    }
    return text;
  }();
  return {"expect", usage, summary};
}

// The services' verbs, then the language's own.
const std::vector<Verb>& VerbTable() {
  static const std::vector<Verb> verbs = [] {
    std::vector<Verb> table;
    for (const ServiceVerb& verb : ServiceVerbs()) table.push_back({verb.help, verb.parse});
    const Verb core[] = {
        {{"wait", "wait poll|DURATION", "let a polling period or a duration of device time pass"}, ParseWait},
        {{"fail", "fail CALL [COUNT]", "make the next COUNT calls of a platform call fail"}, ParseFail},
        {{"profile", "profile load|save FILE",
          "reset the device to a device profile, or write the device's state as one"},
         ParseProfile},
        {{"reset", "reset", "return the device to its profile and set aside the library's reports of it"},
         ParseReset},
        {{"time-scale", "time-scale FACTOR", "run the device's time FACTOR times faster than real time"},
         ParseTimeScale},
        {ExpectHelp(), ParseExpect},
    };
    table.insert(table.end(), std::begin(core), std::end(core));
    return table;
  }();
  return verbs;
}

}  // namespace

const std::vector<VerbHelp>& Verbs() {
  static const std::vector<VerbHelp> verbs = [] {
    std::vector<VerbHelp> help;
    for (const Verb& verb : VerbTable()) help.push_back(verb.help);
    return help;
  }();
  return verbs;
}

std::variant<std::optional<Statement>, ParseError> ParseLine(std::string_view line, int lineNumber,
                                                             std::string_view folder) {
  try {
    std::vector<Word> words = SplitWords(line);
    if (words.empty()) return std::optional<Statement>();
    Cursor cursor(std::move(words), static_cast<int>(line.size()) + 1, std::string(folder));
    for (const Verb& verb : VerbTable()) {
      if (cursor.TakeIf(verb.help.verb)) {
        Statement statement = verb.parse(cursor);
        cursor.End();
        statement.line = lineNumber;
        return std::optional<Statement>(std::move(statement));
      }
    }
    std::string verbs;
    std::vector<std::string> candidates;
    for (const Verb& verb : VerbTable()) {
      verbs += (verbs.empty() ? "" : ", ") + std::string(verb.help.verb);
      candidates.emplace_back(verb.help.verb);
    }
    cursor.Fail("a verb (" + verbs + ")", candidates);
  } catch (const SyntaxError& error) {
    return ParseError{lineNumber, error.column, error.what(), std::string(line)};
  }
}

std::variant<Script, std::vector<ParseError>> ParseScript(std::string_view text, std::string name,
                                                          std::string_view folder) {
  Script script{std::move(name), {}};
  std::vector<ParseError> errors;
  int lineNumber = 0;
  // Each line stands alone, so a line at fault does not hide the faults of the lines after it.
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    auto parsed = ParseLine(line, ++lineNumber, folder);
    if (auto* error = std::get_if<ParseError>(&parsed)) {
      errors.push_back(std::move(*error));
    } else if (auto& statement = std::get<std::optional<Statement>>(parsed)) {
      script.statements.push_back(std::move(*statement));
    }
  }
  if (!errors.empty()) return errors;
  return script;
}

}  // namespace scenario
