// Test support for the tool's tests: a private folder per test (the scripts it writes, the home and
// runtime folders of the consoles it starts, the tool's temporary files), and the tool run as a child
// process with those folders in its environment.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"

namespace pndtest {

class ToolTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("pndhal-tool-" + std::to_string(getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    for (const char* sub : {"home", "run", "tmp"}) std::filesystem::create_directories(folder_ / sub);
    std::filesystem::permissions(folder_ / "run", std::filesystem::perms::owner_all);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  /// Writes `text` to the file `name` of the test's folder; its path.
  std::string Write(const std::string& name, const std::string& text) const {
    const auto path = folder_ / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
    return path.string();
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  /// Runs the tool with `args`, its home, runtime and temporary folders in the test's folder.
  ProcessResult Tool(const std::vector<std::string>& args) const {
    ProcessRequest request;
    request.argv = {PNDHAL_TOOL};
    request.argv.insert(request.argv.end(), args.begin(), args.end());
    request.environment = {"HOME=" + Path("home"), "XDG_RUNTIME_DIR=" + Path("run"), "TMPDIR=" + Path("tmp")};
    return RunProcess(request);
  }

  /// The JSON lines of `text`, each parsed (a line that is not JSON fails the test).
  static std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      lines.push_back(nlohmann::json::parse(line, nullptr, false));
      EXPECT_FALSE(lines.back().is_discarded()) << line;
    }
    return lines;
  }

 private:
  std::filesystem::path folder_;
};

}  // namespace pndtest
