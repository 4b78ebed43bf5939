// Writes a run's recording as a scenario script.
#include "recording.h"

#include <fstream>

namespace tool {

void Recording::Add(const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(line);
}

bool Recording::Write(const std::string& path, const std::string& from) {
  std::ofstream out(path);
  out << "# Recorded by pndhal from " << from
      << ": replaying it passes while the library behaves the same.\n";
  std::lock_guard lock(mutex_);
  for (const auto& line : lines_) out << line << '\n';
  out.close();
  return static_cast<bool>(out);
}

}  // namespace tool
