// The sub-commands of the pndhal tool. Each returns the process exit code.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tool {

/// Starts the HAL on the default simulated device, walks through a short
/// scenario and prints every platform action and listener call.
int Tour(const std::vector<std::string>& args);

/// Prints the device's UTC and local time, the current zone and its
/// descriptor (`--json` for JSON).
int Time(const std::vector<std::string>& args);

/// Prints the zone database as the HAL reads it (`--json` for JSON).
int Zones(const std::vector<std::string>& args);

/// Prints the platform actions recorded since the last call, indented.
void PrintNewTrace(std::FILE* out);

}  // namespace tool
