// The scenario and console command-line parser over arbitrary lines: it never crashes, a refusal names a
// column on the line (or just past its end), and a line it accepts reads back to the same statement from
// its canonical words.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "fuzz/fuzz_text.h"
#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  if (line.find('\n') != std::string::npos) return 0;
  auto parsed = scenario::ParseLine(line);
  if (const auto* error = std::get_if<scenario::ParseError>(&parsed)) {
    fuzztext::Require(error->column >= 1 && static_cast<std::size_t>(error->column) <= line.size() + 1);
    fuzztext::Require(!error->message.empty());
    return 0;
  }
  const auto& statement = std::get<std::optional<scenario::Statement>>(parsed);
  if (!statement) return 0;
  auto again = scenario::ParseLine(statement->text);
  const auto* reread = std::get_if<std::optional<scenario::Statement>>(&again);
  fuzztext::Require(reread != nullptr && reread->has_value() && (*reread)->text == statement->text);
  return 0;
}
