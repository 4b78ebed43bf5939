// The JUnit XML report of a run (`pndhal run --junit FILE`): one test case per script, the failure's
// `FILE:LINE: expected ..., got ...` as its failure, the run's trace as its output; the shape CI systems
// read (testsuites, testsuite, testcase, failure or error, system-out).
#pragma once

#include <string>
#include <vector>

#include "script_result.h"

namespace tool {

/// What the report says of the run besides its scripts.
struct JunitRun {
  std::string suite = "pndhal run";  ///< the test suite's name
  double seconds = 0;                ///< the whole run's real time
  std::string timestamp;             ///< when the run began, "YYYY-MM-DDTHH:MM:SS" UTC
  std::string hostname;
  /// A fault of the run outside every script (a launched application that did not stop), as the suite's
  /// error output; empty when none.
  std::string runError;
};

/// The report as XML text: UTF-8, with text that is not valid UTF-8 or not allowed in XML replaced.
std::string JunitXml(const std::vector<ScriptResult>& results, const JunitRun& run);

/// Writes the report to `path`; false with *error set ("cannot write PATH: REASON") when it cannot.
bool WriteJunit(const std::string& path, const std::vector<ScriptResult>& results, const JunitRun& run,
                std::string* error);

}  // namespace tool
