// A navigation application in miniature for the console tests: it starts the shared HAL on the simulated
// device at a time scale of 100, opens the console (whose interpreter, the scenario language, it loads
// from libpndscenario.so), reports "port N" and runs until its input ends.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <iostream>
#include <string>

int main() {
  pndsim::SetTimeScale(100);
  InitHAL();
  std::string error;
  const int port = pndsim::StartConsole("auto", &error);
  std::cout << "port " << port << (error.empty() ? "" : " " + error) << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  pndsim::StopConsole();
  FreeDLL();
  return 0;
}
