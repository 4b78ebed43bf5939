// The recording of a run (`--record OUT.scn`): the actions and an expectation for every listener call, in
// the order they happened, written as a script that replays while the library behaves the same.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace tool {

class Recording {
 public:
  /// Adds a line; called from the thread that plays and from the library's or the console's threads.
  void Add(const std::string& line);
  /// Writes the lines to `path` under a comment naming the script `from`; false when it cannot.
  bool Write(const std::string& path, const std::string& from);

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace tool
