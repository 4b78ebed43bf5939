// A navigation application in miniature for the console tests, unmodified for its console: started with
// PNDSIM_CONSOLE set, its console opens as the libraries load. It runs the shared HAL on the simulated
// device at a time scale of 100, says "ready" once the HAL runs, and frees the HAL when its input ends,
// whoever is connected to its console.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdlib>
#include <iostream>
#include <string>

int main() {
  // Fast unless the test chose the pace through the environment.
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read before any thread starts
  if (std::getenv("PNDSIM_TIME_SCALE") == nullptr) pndsim::SetTimeScale(100);
  InitHAL();
  std::cout << "ready" << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "free") FreeDLL();
    if (line == "init") InitHAL();
    std::cout << "done " << line << std::endl;
  }
  FreeDLL();
  return 0;
}
