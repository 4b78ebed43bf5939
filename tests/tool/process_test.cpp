// The child-process helper the tool's tests stand on: streams, exit status,
// input larger than a pipe holds, and the time limit.
#include "process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

namespace {

TEST(RunProcess, SeparatesStreamsAndReportsTheExitStatus) {
  pndtest::ProcessRequest request;
  request.argv = {"/bin/sh", "-c", "echo \"out $GREETING\"; echo err >&2; exit 3"};
  request.environment = {"GREETING=hello"};
  const pndtest::ProcessResult result = pndtest::RunProcess(request);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.out, "out hello\n");
  EXPECT_EQ(result.err, "err\n");
  EXPECT_FALSE(result.timedOut);
}

TEST(RunProcess, FeedsInputLargerThanAPipeWhileReadingOutput) {
  std::string input;
  for (int i = 0; input.size() < (1u << 20); ++i) input += std::to_string(i) + "\n";
  pndtest::ProcessRequest request;
  request.argv = {"/bin/cat"};
  request.input = input;
  const pndtest::ProcessResult result = pndtest::RunProcess(request);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.out == input) << "got " << result.out.size() << " of " << input.size() << " bytes";
}

TEST(RunProcess, KillsAChildThatOverrunsItsTimeLimit) {
  pndtest::ProcessRequest request;
  // The child closes its streams first, so only its end can finish the wait.
  request.argv = {"/bin/sh", "-c", "exec sleep 60 >/dev/null 2>&1"};
  request.timeout = std::chrono::milliseconds(100);
  const pndtest::ProcessResult result = pndtest::RunProcess(request);
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.exitCode, -1);
  EXPECT_EQ(result.signal, SIGKILL);
}

TEST(RunProcess, ReportsAProgramThatCannotStart) {
  pndtest::ProcessRequest request;
  request.argv = {"/nonexistent/program"};
  const pndtest::ProcessResult result = pndtest::RunProcess(request);
  EXPECT_EQ(result.exitCode, -1);
  EXPECT_NE(result.err.find("/nonexistent/program"), std::string::npos) << result.err;
}

}  // namespace
