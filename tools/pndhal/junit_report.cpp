// Writes a run's results as JUnit XML.
#include "junit_report.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace tool {
namespace {

// The length of the UTF-8 sequence starting at `at`, or 0 when it is not a valid one (overlong forms,
// surrogates and values beyond U+10FFFF included).
std::size_t Utf8Length(const std::string& text, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  std::size_t length = first < 0x80             ? 1
                       : (first & 0xE0) == 0xC0 ? 2
                       : (first & 0xF0) == 0xE0 ? 3
                       : (first & 0xF8) == 0xF0 ? 4
                                                : 0;
  if (length == 0 || at + length > text.size()) return 0;
  code = length == 1 ? first : first & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// `text` as XML character data or attribute value: markup characters escaped, and what XML 1.0 does not
// allow (control characters, invalid UTF-8) replaced by U+FFFD.
std::string Escaped(const std::string& text, bool attribute) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8Length(text, at, code);
    const bool allowed = length != 0 && (code >= 0x20 || code == '\t' || code == '\n' || code == '\r') &&
                         code != 0xFFFE && code != 0xFFFF;
    if (!allowed) {
      out += "\xEF\xBF\xBD";
      at += length == 0 ? 1 : length;
      continue;
    }
    switch (code) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        break;
      default:
        out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

std::string Attribute(const char* name, const std::string& value) {
  return std::string(" ") + name + "=\"" + Escaped(value, true) + "\"";
}

std::string Time(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

}  // namespace

std::string JunitXml(const std::vector<ScriptResult>& results, const JunitRun& run) {
  int failures = 0;
  int errors = 0;
  for (const ScriptResult& result : results) {
    failures += result.verdict == Verdict::Failed ? 1 : 0;
    errors += result.verdict == Verdict::Error ? 1 : 0;
  }
  const std::string counts = Attribute("tests", std::to_string(results.size())) +
                             Attribute("failures", std::to_string(failures)) +
                             Attribute("errors", std::to_string(errors));
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  xml += "<testsuites" + Attribute("name", run.suite) + counts + Attribute("time", Time(run.seconds)) + ">\n";
  xml += "  <testsuite" + Attribute("name", run.suite) + counts + Attribute("skipped", "0") +
         Attribute("time", Time(run.seconds)) + Attribute("timestamp", run.timestamp) +
         Attribute("hostname", run.hostname) + Attribute("id", "0") + Attribute("package", "pndhal") + ">\n";
  for (const ScriptResult& result : results) {
    xml += "    <testcase" + Attribute("name", result.name) + Attribute("classname", "scenario") +
           Attribute("file", result.name) + Attribute("assertions", std::to_string(result.expectations)) +
           Attribute("time", Time(result.seconds)) + ">\n";
    if (result.verdict != Verdict::Passed) {
      const std::string text = result.where + ": " + result.message;
      const char* element = result.verdict == Verdict::Failed ? "failure" : "error";
      xml += std::string("      <") + element + Attribute("message", text) + Attribute("type", result.kind) +
             ">" + Escaped(text, false) + "</" + element + ">\n";
    }
    xml += "      <system-out>" + Escaped(result.trace, false) + "</system-out>\n";
    xml += "    </testcase>\n";
  }
  if (!run.runError.empty()) xml += "    <system-err>" + Escaped(run.runError, false) + "</system-err>\n";
  xml += "  </testsuite>\n</testsuites>\n";
  return xml;
}

bool WriteJunit(const std::string& path, const std::vector<ScriptResult>& results, const JunitRun& run,
                std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const int opened = errno;
  if (out) out << JunitXml(results, run);
  out.close();
  if (!out) {
    *error = "cannot write " + path + ": " + std::generic_category().message(opened != 0 ? opened : EIO);
    return false;
  }
  return true;
}

}  // namespace tool
