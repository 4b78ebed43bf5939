// Programs in the scenario language: storing and starting programs on the device, and the expectation of
// how the newest process of a program is.
#include <pndsim/pndsim.h>

#include <algorithm>
#include <cctype>
#include <optional>

#include "lexer.h"
#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

Statement ParseProgram(Cursor& cursor) {
  const bool add = cursor.Choice({"add", "start"}) == 0;
  const std::string path = DevicePath(cursor);
  if (add) {
    long code = 0;
    if (cursor.TakeIf("exit")) code = cursor.Integer(0, 4294967295L, "an exit code");
    return Action("program add " + QuoteWord(path) + (code != 0 ? " exit " + std::to_string(code) : ""), [=] {
      const auto exitCode = static_cast<std::uint32_t>(code);
      return Unless(pndsim::InstallProgram(path, [exitCode](const std::string&) { return exitCode; }),
                    "not a path for a program");
    });
  }
  const std::string arguments = cursor.AtEnd() ? std::string() : cursor.Take("").text;
  return Action(
      "program start " + QuoteWord(path) + (arguments.empty() ? "" : " " + QuoteWord(arguments)), [=] {
        const std::uint32_t error = pndsim::StartProgram(path, arguments);
        return error == 0 ? std::string() : "the device refused it with error " + std::to_string(error);
      });
}

// expect process PATH running|ended [CODE]: the newest process started from PATH.
Statement ParseProcessExpectation(Cursor& cursor, std::string_view) {
  const std::string path = DevicePath(cursor);
  const bool ended = cursor.Choice({"running", "ended"}) == 1;
  std::optional<long> code;
  if (ended && !cursor.AtEnd()) code = cursor.Integer(0, 4294967295L, "an exit code");
  cursor.End();
  const std::string expected = "process " + QuoteWord(path) + (ended ? " ended" : " running") +
                               (code ? " " + std::to_string(*code) : "");
  return Expectation("expect " + expected, [=](Session& session) {
    if (ended) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(session.ExpectDeadline() - Clock::now());
      pndsim::WaitForProcessesToEnd(static_cast<std::uint32_t>(std::max<long long>(left.count(), 0)));
    }
    std::optional<pndsim::ProcessRecord> newest;
    // Paths on the device do not differ by case.
    const auto lower = [](std::string text) {
      std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
      return text;
    };
    for (const pndsim::ProcessRecord& process : pndsim::Processes()) {
      if (lower(process.path) == lower(path)) newest = process;
    }
    if (!newest) return Failure("expected " + expected + ", got no process started from it");
    if (newest->running != !ended) {
      return Failure("expected " + expected + ", got " + (newest->running ? "running" : "ended"));
    }
    if (code && newest->exitCode != static_cast<std::uint32_t>(*code)) {
      return Failure("expected " + expected + ", got exit code " + std::to_string(newest->exitCode));
    }
    return Outcome{};
  });
}

ServiceDescription Describe() {
  return {
      .verbs = {{180,
                 {"program", "program add PATH [exit CODE] | program start PATH [ARGUMENTS]",
                  "store a program that ends at once with CODE, or start a program as another program would"},
                 ParseProgram}},
      .expectForms = {{20,
                       {"process"},
                       "expect process PATH running|ended [CODE]",
                       "a process",
                       ParseProcessExpectation}},
  };
}

const Service kPrograms(Describe);

}  // namespace
}  // namespace scenario
