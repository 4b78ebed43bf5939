// An application for the tests of `pndhal run --launch`, in the ways an application under test goes wrong.
// It starts the library, connects a key listener and runs until its input ends, like examples/app. Its
// argument chooses how it behaves: "well" ends at the end of its input; "exit" exits with status 3 and
// "crash" aborts when it hears the key F7; "stubborn" hears the end of its input and SIGTERM and goes on
// (only SIGKILL ends it).
#include <pndhal/pndhal.h>

#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

std::string mode;

class KeyListener : public IHardwareKeyListener {
 public:
  void Notify(eHardwareKey const& key) override {
    if (key != eHardwareKeyF7) return;
    if (mode == "exit") std::_Exit(3);
    if (mode == "crash") std::abort();
  }
};

}  // namespace

int main(int argc, char** argv) {
  mode = argc > 1 ? argv[1] : "well";
  if (mode == "stubborn") std::signal(SIGTERM, SIG_IGN);
  KeyListener listener;
  InitHAL();
  Connect(&listener);
  std::cout << "launch_app: running (" << mode << ")" << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  std::cout << "launch_app: input ended" << std::endl;
  // Hangs on purpose: this is the application that does not stop.
  while (mode == "stubborn") pause();
  Disconnect(&listener);
  FreeDLL();
  return 0;
}
