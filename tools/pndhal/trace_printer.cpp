// Prints the simulator's trace as it grows.
#include <pndsim/pndsim.h>

#include "commands.h"

namespace tool {

void PrintNewTrace(std::FILE* out) {
  static std::size_t printed = 0;
  const auto events = pndsim::Trace();
  if (events.size() < printed) printed = 0;  // the trace was reset
  for (; printed < events.size(); ++printed) {
    std::fprintf(out, "    platform: %-18s %s\n", events[printed].kind.c_str(), events[printed].detail.c_str());
  }
}

}  // namespace tool
